// The loader's reason on POSIX systems: dlopen's own message (dlerror).
#include <dlfcn.h>
#include <sys/stat.h>

#include "driver_load.h"
#include "tarnwick.h"

namespace tarnwick::cli {
namespace {

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

// The folder libtarnwick.so was loaded from, with its trailing slash.
std::string LibraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&InitialLib), &info) == 0 || info.dli_fname == nullptr) return "";
  const std::string file = info.dli_fname;
  const std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? "" : file.substr(0, slash + 1);
}

}  // namespace

std::optional<std::string> DriverLoadFailure(bool serial) {
  const std::string name = serial ? "libskorra.so" : "libusbskorra.so";
  // The library asks for the bare name first: a file found that way but
  // refused is the reason, unless the message says the name itself was
  // not found anywhere.
  const std::optional<std::string> searched = LoadError(name);
  if (searched && searched->compare(0, name.size() + 1, name + ":") != 0) return *searched;
  // Then the file beside the library.
  const std::string beside = LibraryFolder() + name;
  if (!LibraryFolder().empty() && IsFile(beside)) {
    if (std::optional<std::string> why = LoadError(beside)) return *why;
  }
  if (searched && searched->find("cannot open shared object file") == std::string::npos) return *searched;
  return std::nullopt;
}

}  // namespace tarnwick::cli
