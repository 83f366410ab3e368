// The file operations the card store is made of, written once per platform
// (image_store_posix.cpp, image_store_windows.cpp): read a regular file,
// replace one atomically, append to one durably, tell whether a path still
// names a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::skorra::files {

// Which file a path named: device and inode, or volume and file index.
struct FileId {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileId&) const = default;
};

struct Contents {
  enum class Found { kMissing, kRead, kRefused } found = Found::kMissing;
  std::vector<uint8_t> bytes;
  FileId id;
  std::string problem;  // why refused
};

// A regular file's bytes; anything else (a FIFO, a device, a folder, a link
// to one of those, a file far larger than a card) is refused without
// waiting on it.
Contents ReadRegular(const std::filesystem::path& file);

// Replaces `file` with `bytes`: a temporary file beside it (".name.*"),
// flushed, renamed over it, the folder flushed. A process killed at any
// point leaves the old or the new file. The new file's id in `id`.
bool ReplaceDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes, FileId& id);

// Appends `bytes` to `file`, which must still be the file `id` of `size`
// bytes, and flushes them to disk. On failure the file is cut back to
// `size`, so that no half-written record follows.
bool AppendDurably(const std::filesystem::path& file, const FileId& id, uint64_t size,
                   std::span<const uint8_t> bytes);

// True while `file` names the file `id` (through a link as ReadRegular
// reads it).
bool StillNames(const std::filesystem::path& file, const FileId& id);

// Removes `file` (nothing there is fine) and flushes the folder.
bool RemoveDurably(const std::filesystem::path& file);

}  // namespace tarnwick::skorra::files
