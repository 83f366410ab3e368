// Keeps a card file to one process: an exclusive lock on a lock file beside
// the image, held while the port is open and dropped by the system when the
// process ends, however it ends.
#pragma once

#include <filesystem>
#include <optional>

namespace tarnwick::skorra {

class CardLock {
 public:
  // The lock on `path`, or nullopt when another open holds it or the lock
  // file cannot be made.
  static std::optional<CardLock> Take(const std::filesystem::path& path);
  ~CardLock();
  CardLock(CardLock&& other) noexcept;
  CardLock& operator=(CardLock&&) = delete;
  CardLock(const CardLock&) = delete;
  CardLock& operator=(const CardLock&) = delete;

 private:
  explicit CardLock(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace tarnwick::skorra
