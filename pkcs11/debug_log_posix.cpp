// The debug log's file on POSIX systems: appended with one write, never
// through a link, a FIFO or a device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "debug_log.h"

namespace tarnwick::pkcs11 {

bool AppendToFile(const char* path, std::string_view line) {
  const int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  // One write so that concurrent callers never interleave inside a line.
  const bool written = regular && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  return written;
}

}  // namespace tarnwick::pkcs11
