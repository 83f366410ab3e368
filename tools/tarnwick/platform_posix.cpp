// The tool's system calls on POSIX: termios for input without echo.
#include <termios.h>
#include <unistd.h>

#include "platform.h"

namespace tarnwick::cli::platform {

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

// ECHONL keeps the newline visible so that the next output starts on a
// line of its own.
EchoOff::EchoOff() {
  termios mode{};
  if (tcgetattr(STDIN_FILENO, &mode) != 0) return;
  saved_ = mode.c_lflag;
  mode.c_lflag = (mode.c_lflag & ~static_cast<tcflag_t>(ECHO)) | ECHONL;
  changed_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &mode) == 0;
}

EchoOff::~EchoOff() {
  termios mode{};
  if (!changed_ || tcgetattr(STDIN_FILENO, &mode) != 0) return;
  mode.c_lflag = static_cast<tcflag_t>(saved_);
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &mode);
}

}  // namespace tarnwick::cli::platform
