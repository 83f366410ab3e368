// The trace of one open port: every command and answer, one line each, to
// standard error or appended to a file.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "backend.h"
#include "settings.h"

namespace tarnwick::skorra {

class Trace {
 public:
  // nullptr when the settings ask for no trace. A trace file that cannot be
  // opened is reported once on standard error and leaves the trace off.
  static std::unique_ptr<Trace> Open(const Settings& settings, std::string port);
  ~Trace();
  Trace(const Trace&) = delete;
  Trace& operator=(const Trace&) = delete;

  void Command(std::span<const uint8_t> command);
  void Answer(std::span<const uint8_t> command, const Reply& reply);
  // An exchange the driver added to complete `original` (a GET RESPONSE or
  // a resend with a corrected Le), marked as the driver's own. Secrets are
  // judged by the original command: a GET RESPONSE can carry its answer.
  void Added(std::span<const uint8_t> original, std::span<const uint8_t> command, const Reply& reply);
  // Something the reader did that is not a command: "COM1 - power up".
  void Event(std::string_view what);

 private:
  Trace(int fd, bool owns_fd, bool secrets, std::string port);
  void WriteLine(std::string line);

  int fd_;
  bool owns_fd_;
  bool secrets_;
  std::string port_;
};

}  // namespace tarnwick::skorra
