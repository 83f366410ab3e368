// Keeps a card file to one process at a time: an exclusive lock on a lock
// file beside the image, held while a burst of commands runs and dropped by
// the system when the process ends, however it ends.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::skorra {

class CardLock {
 public:
  // The lock on `path`, or nullopt with the reason: another process holds
  // it ("in use by another process"), or the lock file cannot be opened
  // (the system's own reason: a read-only file system, no permission), or
  // the path names a symbolic link or something other than a regular file.
  // Links are never followed and opening never blocks.
  static std::optional<CardLock> Take(const std::filesystem::path& path, std::string& problem);
  // Take, trying again while another process holds the lock, for up to
  // `patience`.
  static std::optional<CardLock> TakeWithin(const std::filesystem::path& path, std::chrono::milliseconds patience,
                                            std::string& problem);
  static constexpr const char* kInUse = "in use by another process";
  ~CardLock();
  CardLock(CardLock&& other) noexcept;
  CardLock& operator=(CardLock&&) = delete;
  CardLock(const CardLock&) = delete;
  CardLock& operator=(const CardLock&) = delete;

  // True while the path still names the file this lock holds: once the lock
  // file is deleted or replaced, another process can take a lock of its own
  // on whatever the path names now.
  bool StillHeld() const;

  // In a child just forked: closes the child's copies of the locks its
  // parent holds, which would otherwise keep the parent's cards locked for
  // the child's whole life (a lock belongs to the open file, which fork
  // shares). The parent keeps its locks. Only async-signal-safe calls.
  static void DropInheritedAfterFork();

 private:
  CardLock(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
  int fd_;
  std::filesystem::path path_;
};

}  // namespace tarnwick::skorra
