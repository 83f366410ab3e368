// Writes trace lines. Each line goes out in one write on a descriptor
// opened for appending, so lines of several ports (or processes) sharing a
// file never interleave within a line.
#include "trace.h"

#include <cstdio>
#include <mutex>

#include "trace_file.h"
#include "trace_format.h"

namespace tarnwick::skorra {
namespace {

constexpr const char* kDriversOwn = " [driver]";
constexpr int kStandardError = 2;

}  // namespace

std::unique_ptr<Trace> Trace::Open(const Settings& settings, std::string port) {
  if (!settings.trace) return nullptr;
  if (!settings.trace_file)
    return std::unique_ptr<Trace>(new Trace(kStandardError, false, settings.trace_secrets, std::move(port)));
  std::string problem;
  const int fd = OpenTraceFile(*settings.trace_file, problem);
  if (fd < 0) {
    std::fprintf(stderr, "skorra: cannot open trace file %s: %s\n", settings.trace_file->c_str(), problem.c_str());
    return nullptr;
  }
  return std::unique_ptr<Trace>(new Trace(fd, true, settings.trace_secrets, std::move(port)));
}

Trace::Trace(int fd, bool owns_fd, bool secrets, std::string port)
    : fd_(fd), owns_fd_(owns_fd), secrets_(secrets), port_(std::move(port)) {}

Trace::~Trace() {
  if (owns_fd_) CloseTraceFile(fd_);
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
  WriteTraceLine(fd_, line);
}

}  // namespace tarnwick::skorra
