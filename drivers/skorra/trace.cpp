// Writes trace lines. Each line goes out in one write() on a descriptor
// opened for appending, so lines of several ports (or processes) sharing a
// file never interleave within a line.
#include "trace.h"

#include <fcntl.h>
#include <unistd.h>
#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "trace_format.h"

namespace tarnwick::skorra {
namespace {

#if defined(_WIN32)
// Append-only access: each WriteFile lands at the end of the file in one
// piece, whichever thread or process writes. The C runtime's own append mode
// seeks to the end and then writes, so two threads could write at the same
// place. The handle is kept from child processes, and written byte for byte
// (no line-feed translation).
int OpenForAppending(const char* path) {
  const HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    errno = EACCES;
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (fd < 0) CloseHandle(file);
  return fd;
}
#else
int OpenForAppending(const char* path) {
  // Owner-only: with secrets shown the file holds passphrases and keys.
  return ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
}
#endif

constexpr const char* kDriversOwn = " [driver]";

}  // namespace

std::unique_ptr<Trace> Trace::Open(const Settings& settings, std::string port) {
  if (!settings.trace) return nullptr;
  if (!settings.trace_file) return std::unique_ptr<Trace>(new Trace(STDERR_FILENO, false, settings.trace_secrets, std::move(port)));
  const int fd = OpenForAppending(settings.trace_file->c_str());
  if (fd < 0) {
    std::fprintf(stderr, "skorra: cannot open trace file %s: %s\n", settings.trace_file->c_str(),
                 std::strerror(errno));
    return nullptr;
  }
  return std::unique_ptr<Trace>(new Trace(fd, true, settings.trace_secrets, std::move(port)));
}

Trace::Trace(int fd, bool owns_fd, bool secrets, std::string port)
    : fd_(fd), owns_fd_(owns_fd), secrets_(secrets), port_(std::move(port)) {}

Trace::~Trace() {
  if (owns_fd_) ::close(fd_);
}

void Trace::Command(std::span<const uint8_t> command) { WriteLine(CommandLine(port_, command, secrets_)); }

void Trace::Answer(std::span<const uint8_t> command, const Reply& reply) {
  WriteLine(AnswerLine(port_, command, reply, secrets_));
}

void Trace::Added(std::span<const uint8_t> original, std::span<const uint8_t> command, const Reply& reply) {
  // The resend is the original command again: its secrets sit where they did.
  WriteLine(CommandLine(port_, command, secrets_) + kDriversOwn);
  WriteLine(AnswerLine(port_, original, reply, secrets_) + kDriversOwn);
}

void Trace::Event(std::string_view what) { WriteLine(port_ + " - " + std::string(what)); }

void Trace::WriteLine(std::string line) {
  line += '\n';
  // Ports of one process write one line at a time: not every system's append
  // is a single step (Wine seeks, then writes).
  static std::mutex one_line_at_a_time;
  const std::lock_guard<std::mutex> lock(one_line_at_a_time);
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // a trace that cannot be written is not the application's failure
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

}  // namespace tarnwick::skorra
