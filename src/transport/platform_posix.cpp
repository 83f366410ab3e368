// Dynamic loading for the driver binding on POSIX systems: dlopen by bare
// name, then beside the library itself.
#include "transport/platform.h"

#include <dlfcn.h>

#include <climits>
#include <cstring>

namespace tarnwick::platform {

const char* DriverFileName(bool serial) { return serial ? "libskorra.so" : "libusbskorra.so"; }

namespace {

// The folder this library was loaded from, with its trailing slash; false
// when it cannot be told or the path would not fit.
bool OwnFolder(char (&folder)[PATH_MAX]) {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&DriverFileName), &info) == 0 || info.dli_fname == nullptr)
    return false;
  const char* slash = std::strrchr(info.dli_fname, '/');
  if (slash == nullptr) return false;
  const std::size_t n = static_cast<std::size_t>(slash - info.dli_fname) + 1;
  if (n >= PATH_MAX) return false;
  std::memcpy(folder, info.dli_fname, n);
  folder[n] = '\0';
  return true;
}

// The library's RUNPATH ($ORIGIN) names its own folder, but the search uses
// the RUNPATH of whoever calls dlopen; a runtime that wraps dlopen (the
// sanitizers do) becomes that caller. Looking in the library's folder
// ourselves gives the same result whoever wraps the call.
ModuleHandle LoadBesideLibrary(const char* name) {
  char path[PATH_MAX];
  if (!OwnFolder(path)) return nullptr;
  const std::size_t used = std::strlen(path);
  if (used + std::strlen(name) >= PATH_MAX) return nullptr;
  std::memcpy(path + used, name, std::strlen(name) + 1);
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

ModuleHandle LoadModule(const char* name) {
  if (ModuleHandle module = dlopen(name, RTLD_NOW | RTLD_LOCAL)) return module;
  return LoadBesideLibrary(name);
}

void* FindSymbol(ModuleHandle module, const char* name) { return dlsym(module, name); }

// dlclose answers 0 on success; callers expect non-zero for success.
int32_t UnloadModule(ModuleHandle module) { return dlclose(module) == 0 ? 1 : 0; }

}  // namespace tarnwick::platform
