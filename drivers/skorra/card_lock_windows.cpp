// Takes and drops the lock on a card's lock file on Windows: a byte-range
// lock on the whole-file handle, which the system drops with the handle or
// the process. The file is opened without delete sharing, so while it is
// held it can be neither deleted nor replaced.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "card_lock.h"

namespace tarnwick::skorra {

std::optional<CardLock> CardLock::Take(const std::filesystem::path& path, std::string& problem) {
  int fd = -1;
  if (const errno_t error = _wsopen_s(&fd, path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
      error != 0) {
    problem = std::strerror(error);
    return std::nullopt;
  }
  OVERLAPPED whole_file{};
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(fd));
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    _close(fd);
    problem = "not a regular file";
    return std::nullopt;
  }
  if (!LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole_file)) {
    const DWORD error = GetLastError();
    problem = error == ERROR_LOCK_VIOLATION ? kInUse
                                            : "cannot be locked (Windows error " + std::to_string(error) + ")";
    _close(fd);
    return std::nullopt;
  }
  return CardLock(fd, path);
}

bool CardLock::StillHeld() const { return fd_ >= 0; }

CardLock::CardLock(CardLock&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

CardLock::~CardLock() {
  if (fd_ >= 0) _close(fd_);
}

}  // namespace tarnwick::skorra
