// What the tool asks of the operating system: a line typed on the terminal
// without echo. The driver is loaded through the library's loader
// (src/transport/loader).
#pragma once

namespace tarnwick::cli::platform {

bool InputIsTerminal();

// While it lives, what is typed on the terminal is not shown.
class EchoOff {
 public:
  EchoOff();
  ~EchoOff();
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  bool changed_ = false;
  unsigned long saved_ = 0;  // the terminal's mode flags before
};

}  // namespace tarnwick::cli::platform
