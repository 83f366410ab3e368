// The tool's system calls on Windows: LoadLibraryA for the driver (and
// FormatMessage for its refusal), the console mode for input without echo.
#include <windows.h>
#include <io.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform.h"
#include "tarnwick.h"

namespace tarnwick::cli::platform {
namespace {

std::string SystemMessage(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                                      0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  if (message.empty()) message = "cannot be loaded";
  return message + " (Windows error " + std::to_string(error) + ")";
}

// The folder of a module (nullptr: the program), with its trailing
// backslash.
std::string FolderOf(HMODULE module) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  const std::string file(path, length);
  const std::size_t slash = file.find_last_of("\\/");
  return slash == std::string::npos ? "" : file.substr(0, slash + 1);
}

}  // namespace

const char* DriverFileName(uint8_t selector) { return selector == 1 ? "skorra.dll" : "usbskorra.dll"; }

// Windows finds a module loaded by bare name in the program's folder first
// and hands back the one already loaded, the library's.
Module LoadDriver(const char* name) { return reinterpret_cast<Module>(LoadLibraryA(name)); }

void* FindFunction(Module module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadDriver(Module module) { FreeLibrary(static_cast<HMODULE>(module)); }

std::optional<std::string> DriverLoadFailure(uint8_t selector) {
  const std::string name = DriverFileName(selector);
  HMODULE library = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&InitialLib), &library);
  for (const std::string& folder : {FolderOf(nullptr), FolderOf(library)}) {
    const std::string path = folder + name;
    if (folder.empty() || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
    if (HMODULE module = LoadLibraryA(path.c_str())) {
      FreeLibrary(module);
      return std::nullopt;
    }
    return path + ": " + SystemMessage(GetLastError());
  }
  return std::nullopt;
}

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
