// Takes and drops the lock on a card's lock file on Windows: a byte-range
// lock on the whole-file handle, which the system drops with the handle or
// the process.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include "card_lock.h"

namespace tarnwick::skorra {

std::optional<CardLock> CardLock::Take(const std::filesystem::path& path) {
  int fd = -1;
  if (_wsopen_s(&fd, path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, _SH_DENYNO,
                _S_IREAD | _S_IWRITE) != 0)
    return std::nullopt;
  OVERLAPPED whole_file{};
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole_file)) {
    _close(fd);
    return std::nullopt;
  }
  return CardLock(fd);
}

CardLock::CardLock(CardLock&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

CardLock::~CardLock() {
  if (fd_ >= 0) _close(fd_);
}

}  // namespace tarnwick::skorra
