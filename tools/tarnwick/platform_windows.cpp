// The tool's system calls on Windows: LoadLibraryA for the driver, the
// console mode for input without echo.
#include <windows.h>
#include <io.h>

#include <cstdio>

#include "platform.h"

namespace tarnwick::cli::platform {

const char* DriverFileName(uint8_t selector) { return selector == 1 ? "skorra.dll" : "usbskorra.dll"; }

// Windows finds a module loaded by bare name in the program's folder first
// and hands back the one already loaded, the library's.
Module LoadDriver(const char* name) { return reinterpret_cast<Module>(LoadLibraryA(name)); }

void* FindFunction(Module module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadDriver(Module module) { FreeLibrary(static_cast<HMODULE>(module)); }

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
