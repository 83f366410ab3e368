// The diagnostic log on POSIX systems: /tmp/iclog.txt, written with writev.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>

#include "reader/log_file.h"

namespace tarnwick::log_file {
namespace {

constexpr char kLogPath[] = "/tmp/iclog.txt";
constexpr std::size_t kMostPieces = 8;

// O_NOFOLLOW and the regular-file check refuse a link or FIFO planted at the
// path (the folder is world-writable); O_NONBLOCK keeps a FIFO from
// blocking the open. Without O_CREAT a missing file stays missing.
int OpenExistingLog() {
  int fd = ::open(kLogPath, O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int32_t Append(std::span<const std::string_view> pieces) {
  if (pieces.size() > kMostPieces) return 0;
  int fd = OpenExistingLog();
  if (fd < 0) return 0;
  std::array<iovec, kMostPieces> parts{};
  for (std::size_t i = 0; i < pieces.size(); ++i)
    parts[i] = {const_cast<char*>(pieces[i].data()), pieces[i].size()};
  // One writev so that concurrent writers never interleave inside a line.
  (void)::writev(fd, parts.data(), static_cast<int>(pieces.size()));
  return ::close(fd) == 0 ? 0 : -1;
}

bool LocalTime(std::time_t now, std::tm& local) { return localtime_r(&now, &local) != nullptr; }

}  // namespace tarnwick::log_file
