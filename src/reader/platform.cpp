// Dynamic loading for the driver binding, one implementation per platform.
#include "reader/platform.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tarnwick::platform {

#if defined(_WIN32)

const char* DriverFileName(bool serial) { return serial ? "skorra.dll" : "usbskorra.dll"; }

ModuleHandle LoadModule(const char* name) {
  return reinterpret_cast<ModuleHandle>(LoadLibraryA(name));
}

void* FindSymbol(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

int32_t UnloadModule(ModuleHandle module) {
  return FreeLibrary(static_cast<HMODULE>(module)) ? 1 : 0;
}

#else

const char* DriverFileName(bool serial) { return serial ? "libskorra.so" : "libusbskorra.so"; }

ModuleHandle LoadModule(const char* name) { return dlopen(name, RTLD_NOW | RTLD_LOCAL); }

void* FindSymbol(ModuleHandle module, const char* name) { return dlsym(module, name); }

// dlclose answers 0 on success; callers expect non-zero for success.
int32_t UnloadModule(ModuleHandle module) { return dlclose(module) == 0 ? 1 : 0; }

#endif

}  // namespace tarnwick::platform
