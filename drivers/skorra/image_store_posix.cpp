// The card store's file operations on POSIX systems: fsync and rename for
// whole files, write and fdatasync for journal records.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "store_files.h"

namespace tarnwick::skorra::files {
namespace {

// Far above any card image; a bigger file is not one of ours and is not
// read into memory.
constexpr off_t kLargestFile = 16 * 1024 * 1024;

FileId IdOf(const struct stat& info) {
  return {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
}

bool WriteAll(int fd, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes = bytes.subspan(static_cast<std::size_t>(written));
  }
  return true;
}

bool ReadAll(int fd, std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

void SyncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

Contents ReadRegular(const std::filesystem::path& file) {
  // O_NONBLOCK: a FIFO in the file's place opens at once, and is refused
  // for what it is.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return {};
    return {Contents::Found::kRefused, {}, {}, std::strerror(errno)};
  }
  struct stat info {};
  Contents c;
  c.found = Contents::Found::kRefused;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    c.problem = "not a regular file";
  } else if (info.st_size > kLargestFile) {
    c.problem = "too large for a card image";
  } else {
    c.bytes.resize(static_cast<std::size_t>(info.st_size));
    if (ReadAll(fd, c.bytes)) {
      c.found = Contents::Found::kRead;
      c.id = IdOf(info);
    } else {
      c.bytes.clear();
      c.problem = "not a readable card file";
    }
  }
  ::close(fd);
  return c;
}

bool ReplaceDurably(const std::filesystem::path& file, std::span<const uint8_t> bytes, FileId& id) {
  std::string temporary = (file.parent_path() / ("." + file.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0 && ::fstat(fd, &info) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), file.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  id = IdOf(info);
  // The rename is done: the folder holds the new file whatever this flush
  // reports; it only makes the rename itself survive a power cut.
  SyncFolder(file.parent_path());
  return true;
}

bool AppendDurably(const std::filesystem::path& file, const FileId& id, uint64_t size,
                   std::span<const uint8_t> bytes) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return false;
  struct stat info {};
  bool done = false;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && IdOf(info) == id &&
      static_cast<uint64_t>(info.st_size) == size) {
    // fdatasync flushes the file's new length with its bytes.
    done = WriteAll(fd, bytes) && ::fdatasync(fd) == 0;
    if (!done && ::ftruncate(fd, static_cast<off_t>(size)) == 0) ::fdatasync(fd);
  }
  return ::close(fd) == 0 && done;
}

bool StillNames(const std::filesystem::path& file, const FileId& id) {
  struct stat info {};
  return ::stat(file.c_str(), &info) == 0 && S_ISREG(info.st_mode) && IdOf(info) == id;
}

bool RemoveDurably(const std::filesystem::path& file) {
  if (::unlink(file.c_str()) != 0 && errno != ENOENT) return false;
  SyncFolder(file.parent_path());
  return true;
}

}  // namespace tarnwick::skorra::files
