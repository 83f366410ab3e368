// The debug log's file on Windows: appended with one write, never to a
// device or pipe, nor through a reparse point.
#include <windows.h>

#include "debug_log.h"

namespace tarnwick::pkcs11 {

bool AppendToFile(const char* path, std::string_view line) {
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
  DWORD written = 0;
  const bool ok = regular && WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
                  written == line.size();
  CloseHandle(file);
  return ok;
}

}  // namespace tarnwick::pkcs11
