// The trace's file and writes on Windows, which has no SIGPIPE: a write to
// a pipe whose reader is gone fails, and the line is dropped.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "trace_file.h"

namespace tarnwick::skorra {

// Append-only access: each WriteFile lands at the end of the file in one
// piece, whichever thread or process writes. The C runtime's own append mode
// seeks to the end and then writes, so two threads could write at the same
// place. The handle is kept from child processes, and written byte for byte
// (no line-feed translation). Only a file on disk is taken: a named pipe or
// a device is refused.
int OpenTraceFile(const std::string& path, std::string& problem) {
  const HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    problem = "cannot be opened for appending (Windows error " + std::to_string(GetLastError()) + ")";
    return -1;
  }
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    problem = "not a regular file";
    return -1;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
  if (fd < 0) {
    CloseHandle(file);
    problem = "cannot be opened for appending";
  }
  return fd;
}

void WriteTraceLine(int fd, std::string_view line) {
  const char* next = line.data();
  std::size_t left = line.size();
  while (left > 0) {
    const int written = _write(fd, next, static_cast<unsigned>(left));
    if (written <= 0) return;  // a trace that cannot be written is not the application's failure
    next += written;
    left -= static_cast<std::size_t>(written);
  }
}

void CloseTraceFile(int fd) { _close(fd); }

}  // namespace tarnwick::skorra
