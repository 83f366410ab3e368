// Loading a shared library by bare name and resolving its functions:
// dlopen/dlsym/dlclose on POSIX, LoadLibraryA/GetProcAddress/FreeLibrary on
// Windows.
#pragma once

#include <cstdint>

namespace tarnwick::platform {

using ModuleHandle = void*;

// The driver's file name for the selector of InitialLib.
const char* DriverFileName(bool serial);

// Loads a library by bare name; nullptr when it cannot be loaded.
ModuleHandle LoadModule(const char* name);

// The address of an exported function; nullptr when the name is missing.
void* FindSymbol(ModuleHandle module, const char* name);

// Unloads; non-zero on success (the Windows FreeLibrary convention).
int32_t UnloadModule(ModuleHandle module);

}  // namespace tarnwick::platform
