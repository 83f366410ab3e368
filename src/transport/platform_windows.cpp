// Dynamic loading for the driver binding on Windows: LoadLibraryA by bare
// file name, so the system's DLL search decides where the driver is found.
#include <windows.h>

#include "transport/platform.h"

namespace tarnwick::platform {

const char* DriverFileName(bool serial) { return serial ? "skorra.dll" : "usbskorra.dll"; }

ModuleHandle LoadModule(const char* name) { return reinterpret_cast<ModuleHandle>(LoadLibraryA(name)); }

void* FindSymbol(ModuleHandle module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

int32_t UnloadModule(ModuleHandle module) { return FreeLibrary(static_cast<HMODULE>(module)) ? 1 : 0; }

}  // namespace tarnwick::platform
