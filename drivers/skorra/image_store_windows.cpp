// The card store's file operations on Windows: whole files written to a file
// of their own, flushed and moved over the old one with MoveFileExW; journal
// records appended with WriteFile and flushed with FlushFileBuffers.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <system_error>

#include "store_files.h"

namespace tarnwick::skorra::files {
namespace {

namespace fs = std::filesystem;

// Far above any card image; a bigger file is not one of ours and is not
// read into memory.
constexpr uint64_t kLargestFile = 16 * 1024 * 1024;

struct Info {
  FileId id;
  uint64_t size = 0;
  bool directory = false;
};

bool Describe(HANDLE file, Info& info) {
  BY_HANDLE_FILE_INFORMATION raw{};
  if (!GetFileInformationByHandle(file, &raw)) return false;
  info.id = {raw.dwVolumeSerialNumber, static_cast<uint64_t>(raw.nFileIndexHigh) << 32 | raw.nFileIndexLow};
  info.size = static_cast<uint64_t>(raw.nFileSizeHigh) << 32 | raw.nFileSizeLow;
  info.directory = (raw.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return true;
}

bool WriteAll(HANDLE file, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

bool ReadAll(HANDLE file, std::vector<uint8_t>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
    if (!ReadFile(file, bytes.data() + done, chunk, &got, nullptr) || got == 0) return false;
    done += got;
  }
  return true;
}

bool SeekTo(HANDLE file, uint64_t offset) {
  LARGE_INTEGER at{};
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != 0;
}

// A new file beside `target`, named for this process and a counter so that
// writers never share one; a leftover of the same name is skipped.
HANDLE CreateTemporary(const fs::path& target, fs::path& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = target.parent_path() / ("." + target.filename().string() + "." +
                                        std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

Contents ReadRegular(const fs::path& file) {
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (status.type() == fs::file_type::not_found) return {};
  if (ec) return {Contents::Found::kRefused, {}, {}, ec.message()};
  if (!fs::is_regular_file(status)) return {Contents::Found::kRefused, {}, {}, "not a regular file"};
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return {};
    return {Contents::Found::kRefused, {}, {}, "not a readable card file"};
  }
  Contents c;
  c.found = Contents::Found::kRefused;
  Info info;
  if (!Describe(handle, info) || info.directory || GetFileType(handle) != FILE_TYPE_DISK) {
    c.problem = "not a regular file";
  } else if (info.size > kLargestFile) {
    c.problem = "too large for a card image";
  } else {
    c.bytes.resize(static_cast<std::size_t>(info.size));
    if (ReadAll(handle, c.bytes)) {
      c.found = Contents::Found::kRead;
      c.id = info.id;
    } else {
      c.bytes.clear();
      c.problem = "not a readable card file";
    }
  }
  CloseHandle(handle);
  return c;
}

bool ReplaceDurably(const fs::path& file, std::span<const uint8_t> bytes, FileId& id) {
  fs::path temporary;
  HANDLE handle = CreateTemporary(file, temporary);
  if (handle == INVALID_HANDLE_VALUE) return false;
  Info info;
  const bool written = WriteAll(handle, bytes) && FlushFileBuffers(handle) && Describe(handle, info);
  const bool closed = CloseHandle(handle);
  // MOVEFILE_WRITE_THROUGH returns only once the move is on disk.
  if (!written || !closed ||
      !MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  id = info.id;
  return true;
}

bool AppendDurably(const fs::path& file, const FileId& id, uint64_t size, std::span<const uint8_t> bytes) {
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  Info info;
  bool done = false;
  if (Describe(handle, info) && !info.directory && info.id == id && info.size == size &&
      GetFileType(handle) == FILE_TYPE_DISK && SeekTo(handle, size)) {
    done = WriteAll(handle, bytes) && FlushFileBuffers(handle);
    if (!done && SeekTo(handle, size) && SetEndOfFile(handle)) FlushFileBuffers(handle);
  }
  return CloseHandle(handle) && done;
}

bool StillNames(const fs::path& file, const FileId& id) {
  // FILE_FLAG_BACKUP_SEMANTICS opens a folder too, so that one in the
  // file's place is seen for what it is.
  HANDLE handle = CreateFileW(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  Info info;
  const bool same = Describe(handle, info) && !info.directory && info.id == id;
  CloseHandle(handle);
  return same;
}

bool RemoveDurably(const fs::path& file) {
  return DeleteFileW(file.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

}  // namespace tarnwick::skorra::files
