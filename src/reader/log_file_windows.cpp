// The diagnostic log on Windows: c:\iclog.txt. The line already ends in
// CR LF, so it is written as it is, the same bytes as on other systems; a
// text-mode stream would also turn line feeds inside the caller's text
// into CR LF.
#include <windows.h>

#include <string>

#include "reader/log_file.h"

namespace tarnwick::log_file {
namespace {

constexpr char kLogPath[] = "c:\\iclog.txt";

}  // namespace

int32_t Append(std::span<const std::string_view> pieces) {
  // OPEN_EXISTING: a missing log stays missing. Asking only for appending
  // puts every write at the end of the file, whoever else writes to it.
  HANDLE file = CreateFileA(kLogPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return 0;
  }
  std::string line;
  for (std::string_view piece : pieces) line += piece;
  DWORD written = 0;
  // One write so that concurrent writers never interleave inside a line.
  (void)WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  return CloseHandle(file) ? 0 : -1;
}

bool LocalTime(std::time_t now, std::tm& local) { return localtime_s(&local, &now) == 0; }

}  // namespace tarnwick::log_file
