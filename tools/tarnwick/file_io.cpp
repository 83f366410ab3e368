// Reading data arguments from files and writing results to files.
#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tarnwick::cli {
namespace {

std::string Reason(const std::string& path) { return "cannot read '" + path + "': " + std::strerror(errno); }

// Opening a pipe or a device could wait for ever or act on it: only regular
// files (or, for writing, a new one) are used.
bool IsSpecial(const std::string& path) {
  std::error_code error;
  auto status = std::filesystem::status(path, error);
  return !error && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

std::string SpecialReason(const std::string& path) { return "'" + path + "' is not a regular file"; }

}  // namespace

std::optional<Bytes> ReadInput(const std::string& path, std::string* why) {
  bool is_stdin = path == "-";
  if (!is_stdin && IsSpecial(path)) {
    *why = SpecialReason(path);
    return std::nullopt;
  }
  std::FILE* f = is_stdin ? stdin : std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    *why = Reason(path);
    return std::nullopt;
  }
  Bytes bytes;
  uint8_t chunk[4096];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  bool failed = std::ferror(f) != 0;
  if (!is_stdin) std::fclose(f);
  if (failed) {
    *why = Reason(path);
    return std::nullopt;
  }
  return bytes;
}

bool WriteOutput(const std::string& path, const Bytes& bytes, std::string* why) {
  bool is_stdout = path == "-";
  if (!is_stdout && IsSpecial(path)) {
    *why = SpecialReason(path);
    return false;
  }
  std::FILE* f = is_stdout ? stdout : std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    *why = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (is_stdout ? std::fflush(f) : std::fclose(f)) == 0 && ok;
  if (!ok) *why = "cannot write '" + path + "': " + std::strerror(errno);
  return ok;
}

bool CheckWritable(const std::string& path, std::string* why) {
  if (IsSpecial(path)) {
    *why = SpecialReason(path);
    return false;
  }
  std::error_code error;
  bool existed = std::filesystem::exists(path, error);
  // Appending to an existing file leaves its contents as they are.
  std::FILE* f = std::fopen(path.c_str(), "ab");
  if (f == nullptr) {
    *why = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  std::fclose(f);
  if (!existed) std::filesystem::remove(path, error);
  return true;
}

}  // namespace tarnwick::cli
