// The driver loader on POSIX systems: dlopen by bare name, then beside
// libtarnwick, and dlerror's words for a driver file that is refused.
#include <dlfcn.h>
#include <sys/stat.h>

#include "driver_loader.h"

namespace tarnwick::loader {
namespace {

// The folder of the module holding `anchor`, with its trailing slash.
std::optional<std::string> FolderOf(const void* anchor) {
  Dl_info info{};
  if (dladdr(anchor, &info) == 0 || info.dli_fname == nullptr) return std::nullopt;
  const std::string path(info.dli_fname);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::nullopt;
  return path.substr(0, slash + 1);
}

Module Open(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

// dlopen's message for `target`, or nullopt when it loads after all.
std::optional<std::string> LoadError(const std::string& target) {
  if (Module module = Open(target)) {
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

// libtarnwick's RUNPATH ($ORIGIN) names its own folder, but the search uses
// the RUNPATH of whoever calls dlopen; a runtime that wraps dlopen (the
// sanitizers do) becomes that caller, and the tool's RUNPATH names another
// folder once installed. Looking beside libtarnwick ourselves gives the same
// driver whoever calls.
Module LoadDriver(const char* name, const void* anchor) {
  if (Module module = Open(name)) return module;
  const std::optional<std::string> folder = FolderOf(anchor);
  return folder ? Open(*folder + name) : nullptr;
}

void* FindFunction(Module module, const char* name) { return dlsym(module, name); }

// dlclose answers 0 on success.
int32_t UnloadDriver(Module module) { return dlclose(module) == 0 ? 1 : 0; }

std::optional<std::string> LoaderRefusal(const char* name, const void* anchor) {
  const std::string bare = name;
  // The bare name is tried first: a file found that way but refused is the
  // reason, unless the message says the name itself was not found anywhere.
  const std::optional<std::string> searched = LoadError(bare);
  if (searched && searched->compare(0, bare.size() + 1, bare + ":") != 0) return *searched;
  // Then the file beside libtarnwick.
  if (auto folder = FolderOf(anchor); folder && IsFile(*folder + bare)) {
    if (std::optional<std::string> why = LoadError(*folder + bare)) return *why;
  }
  if (searched && searched->find("cannot open shared object file") == std::string::npos) return *searched;
  return std::nullopt;
}

const char* WhereDriversBelong() { return "beside libtarnwick.so or on LD_LIBRARY_PATH"; }

}  // namespace tarnwick::loader
