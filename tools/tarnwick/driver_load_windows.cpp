// The loader's reason on Windows: LoadLibrary's error as the system words
// it (FormatMessage of GetLastError).
#include <windows.h>

#include "driver_load.h"
#include "tarnwick.h"

namespace tarnwick::cli {
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

std::optional<std::string> DriverLoadFailure(bool serial) {
  const std::string name = serial ? "skorra.dll" : "usbskorra.dll";
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

}  // namespace tarnwick::cli
