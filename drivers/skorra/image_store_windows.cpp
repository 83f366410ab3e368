// Reads and atomically replaces a card's image file on Windows: the new
// image goes to a file of its own, is flushed, and then moved over the old
// one with MoveFileExW.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <system_error>

#include "image_store.h"

namespace tarnwick::skorra {
namespace {

namespace fs = std::filesystem;

// Far above any card image; a bigger file is not one of ours and is not
// read into memory.
constexpr std::uintmax_t kLargestFile = 16 * 1024 * 1024;

bool WriteAll(HANDLE file, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes = bytes.subspan(written);
  }
  return true;
}

// A new file beside the image, named for this process and a counter so
// that writers never share one; a leftover of the same name is skipped.
HANDLE CreateTemporary(const fs::path& image, fs::path& temporary) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = image.parent_path() / ("." + image.filename().string() + "." +
                                       std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++));
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
  }
  return INVALID_HANDLE_VALUE;
}

}  // namespace

ImageStore::ImageStore(std::filesystem::path folder, int port_number)
    : folder_(std::move(folder)), path_(folder_ / ("card" + std::to_string(port_number) + ".img")) {}

ImageStore::Loaded ImageStore::Read() const {
  std::error_code ec;
  const fs::file_status status = fs::status(path_, ec);
  if (status.type() == fs::file_type::not_found) return {Outcome::kMissing, {}, {}};
  if (ec) return {Outcome::kDamaged, {}, ec.message()};
  if (!fs::is_regular_file(status)) return {Outcome::kDamaged, {}, "not a regular file"};
  std::ifstream in;
  if (fs::file_size(path_, ec) <= kLargestFile && !ec) in.open(path_, std::ios::binary);
  if (!in) return {Outcome::kDamaged, {}, "not a readable card image file"};
  std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return {Outcome::kDamaged, {}, "not a readable card image file"};
  return {Outcome::kLoaded, std::move(file), {}};
}

bool ImageStore::Write(std::span<const uint8_t> image) const {
  fs::path temporary;
  HANDLE file = CreateTemporary(path_, temporary);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool written = WriteAll(file, image) && FlushFileBuffers(file);
  const bool closed = CloseHandle(file);
  // MOVEFILE_WRITE_THROUGH returns only once the move is on disk.
  if (!written || !closed ||
      !MoveFileExW(temporary.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace tarnwick::skorra
