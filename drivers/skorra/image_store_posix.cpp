// Reads and atomically replaces a card's image file on POSIX systems.
#include "image_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick::skorra {
namespace {

// Far above any card image; a bigger file is not one of ours and is not
// read into memory.
constexpr off_t kLargestFile = 16 * 1024 * 1024;

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

ImageStore::ImageStore(std::filesystem::path folder, int port_number)
    : folder_(std::move(folder)), path_(folder_ / ("card" + std::to_string(port_number) + ".img")) {}

ImageStore::Loaded ImageStore::Read() const {
  // O_NONBLOCK: a FIFO in the image's place opens at once, and is refused
  // for what it is.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT) return {Outcome::kMissing, {}, {}};
    return {Outcome::kDamaged, {}, std::strerror(errno)};
  }
  struct stat info {};
  std::vector<uint8_t> file;
  std::string problem;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    problem = "not a regular file";
  } else if (info.st_size > kLargestFile) {
    problem = "too large for a card image";
  } else {
    file.resize(static_cast<std::size_t>(info.st_size));
    if (!ReadAll(fd, file)) problem = "not a readable card image file";
  }
  ::close(fd);
  if (!problem.empty()) return {Outcome::kDamaged, {}, problem};
  return {Outcome::kLoaded, std::move(file), {}};
}

bool ImageStore::Write(std::span<const uint8_t> image) const {
  std::string temporary = (folder_ / ("." + path_.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, image) && ::fsync(fd) == 0;
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  // The rename is done: the folder holds the new image whatever this flush
  // reports; it only makes the rename itself survive a power cut.
  SyncFolder(folder_);
  return true;
}

}  // namespace tarnwick::skorra
