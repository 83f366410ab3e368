// The tool's system calls on POSIX: dlopen for the driver, termios for
// input without echo.
#include <dlfcn.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "platform.h"
#include "tarnwick.h"

namespace tarnwick::cli::platform {
namespace {

// The folder libtarnwick.so was loaded from, with its trailing slash.
std::optional<std::string> LibraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&InitialLib), &info) == 0 || info.dli_fname == nullptr) return std::nullopt;
  std::string path(info.dli_fname);
  std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return path.substr(0, slash + 1);
}

// dlopen's message for `target`, or nullopt when it loads after all.
std::optional<std::string> LoadError(const std::string& target) {
  if (void* module = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    dlclose(module);
    return std::nullopt;
  }
  const char* why = dlerror();
  return std::string(why != nullptr ? why : "cannot be loaded");
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

const char* DriverFileName(uint8_t selector) { return selector == 1 ? "libskorra.so" : "libusbskorra.so"; }

Module LoadDriver(const char* name) {
  if (Module module = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return module;
  auto folder = LibraryFolder();
  return folder ? dlopen((*folder + name).c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
}

void* FindFunction(Module module, const char* name) { return dlsym(module, name); }

void UnloadDriver(Module module) { dlclose(module); }

std::optional<std::string> DriverLoadFailure(uint8_t selector) {
  const std::string name = DriverFileName(selector);
  // The library asks for the bare name first: a file found that way but
  // refused is the reason, unless the message says the name itself was
  // not found anywhere.
  const std::optional<std::string> searched = LoadError(name);
  if (searched && searched->compare(0, name.size() + 1, name + ":") != 0) return *searched;
  // Then the file beside the library.
  if (auto folder = LibraryFolder(); folder && IsFile(*folder + name)) {
    if (std::optional<std::string> why = LoadError(*folder + name)) return *why;
  }
  if (searched && searched->find("cannot open shared object file") == std::string::npos) return *searched;
  return std::nullopt;
}

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
