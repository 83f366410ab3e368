// The driver loader on Windows: LoadLibraryA by bare file name, so that the
// system's DLL search decides where the driver is found, and FormatMessage's
// words for a driver file that is refused.
#include <windows.h>

#include "driver_loader.h"

namespace tarnwick::loader {
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

// Windows looks in the program's folder first and hands back a module that
// is already loaded, so the library and the tool share the one driver.
Module LoadDriver(const char* name, const void*) { return reinterpret_cast<Module>(LoadLibraryA(name)); }

void* FindFunction(Module module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

int32_t UnloadDriver(Module module) { return FreeLibrary(static_cast<HMODULE>(module)) ? 1 : 0; }

std::optional<std::string> LoaderRefusal(const char* name, const void* anchor) {
  HMODULE library = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     static_cast<LPCSTR>(anchor), &library);
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

const char* WhereDriversBelong() { return "beside the program or Tarnwick.dll"; }

}  // namespace tarnwick::loader
