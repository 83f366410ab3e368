// The trace's file and writes on POSIX systems.
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "trace_file.h"

namespace tarnwick::skorra {

int OpenTraceFile(const std::string& path, std::string& problem) {
  // Owner-only: with secrets shown the file holds passphrases and keys.
  // O_NONBLOCK: a FIFO without a reader makes the open fail at once instead
  // of waiting for one.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0600);
  if (fd < 0) {
    problem = std::strerror(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    problem = "not a regular file";
    return -1;
  }
  return fd;
}

// SIGPIPE is held back for this thread alone while the line is written; one
// that the write raised is taken off the thread before it is let through
// again, unless one was already waiting. The process's handlers and every
// other thread are left as they were.
void WriteTraceLine(int fd, std::string_view line) {
  sigset_t pipe_signal, before;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  if (pthread_sigmask(SIG_BLOCK, &pipe_signal, &before) != 0) return;
  sigset_t pending;
  sigemptyset(&pending);
  const bool was_pending = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;

  bool broken_pipe = false;
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = ::write(fd, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {  // a trace that cannot be written is not the application's failure
      broken_pipe = written < 0 && errno == EPIPE;
      break;
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }

  if (broken_pipe && !was_pending) {
    const timespec no_wait{};
    while (sigtimedwait(&pipe_signal, nullptr, &no_wait) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void CloseTraceFile(int fd) { ::close(fd); }

}  // namespace tarnwick::skorra
