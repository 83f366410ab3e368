// Takes and drops the lock on a card's lock file.
#include "card_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace tarnwick::skorra {

std::optional<CardLock> CardLock::Take(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return std::nullopt;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return std::nullopt;
  }
  return CardLock(fd);
}

CardLock::CardLock(CardLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

CardLock::~CardLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace tarnwick::skorra
