// Takes and drops the lock on a card's lock file: flock on POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

#include "card_lock.h"

namespace tarnwick::skorra {
namespace {

// A lock file deleted or replaced between the open and the flock would give
// a lock nobody else looks at: the open is tried again on what the path
// names now, a few times.
constexpr int kAttempts = 8;

// The descriptors of the locks this process holds, for a forked child to
// close; -1 in a free place. More than enough for the four ports.
constexpr std::size_t kHeldPlaces = 16;
struct HeldPlace {
  std::atomic<int> fd{-1};
};
std::array<HeldPlace, kHeldPlaces> g_held;

void NoteHeld(int fd) {
  for (auto& place : g_held) {
    int free = -1;
    if (place.fd.compare_exchange_strong(free, fd)) return;
  }
}

void NoteReleased(int fd) {
  for (auto& place : g_held) {
    int held = fd;
    if (place.fd.compare_exchange_strong(held, -1)) return;
  }
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// True when `path` names, without following a link, the file open as `fd`.
bool NamesFile(const std::filesystem::path& path, int fd) {
  struct stat held {}, named {};
  return ::fstat(fd, &held) == 0 && ::lstat(path.c_str(), &named) == 0 && SameFile(held, named);
}

}  // namespace

std::optional<CardLock> CardLock::Take(const std::filesystem::path& path, std::string& problem) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0) {
      problem = errno == ELOOP ? "a symbolic link, not a lock file" : std::strerror(errno);
      return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      ::close(fd);
      problem = "not a regular file";
      return std::nullopt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      problem = errno == EWOULDBLOCK ? kInUse : std::strerror(errno);
      ::close(fd);
      return std::nullopt;
    }
    if (NamesFile(path, fd)) {
      NoteHeld(fd);
      return CardLock(fd, path);
    }
    ::close(fd);
  }
  problem = "the lock file keeps being replaced";
  return std::nullopt;
}

bool CardLock::StillHeld() const { return fd_ >= 0 && NamesFile(path_, fd_); }

CardLock::CardLock(CardLock&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

CardLock::~CardLock() {
  if (fd_ < 0) return;
  NoteReleased(fd_);
  ::close(fd_);
}

void CardLock::DropInheritedAfterFork() {
  for (auto& place : g_held) {
    const int fd = place.fd.exchange(-1);
    if (fd >= 0) ::close(fd);
  }
}

}  // namespace tarnwick::skorra
