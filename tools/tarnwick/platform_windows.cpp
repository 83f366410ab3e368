// The tool's system calls on Windows: the console mode for input without
// echo.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "platform.h"

namespace tarnwick::cli::platform {

bool InputIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

EchoOff::EchoOff() {
  HANDLE console = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(console, &mode) == 0) return;
  saved_ = mode;
  changed_ = SetConsoleMode(console, mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
}

// The console echoes no newline either: the next output needs one.
EchoOff::~EchoOff() {
  if (!changed_) return;
  SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), static_cast<DWORD>(saved_));
  std::fputc('\n', stderr);
}

}  // namespace tarnwick::cli::platform
