// Reading data arguments from files and writing results to files.
#include "file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace tarnwick::cli {
namespace {

std::string Reason(const std::string& path) { return "cannot read '" + path + "': " + std::strerror(errno); }

}  // namespace

std::optional<Bytes> ReadInput(const std::string& path, std::string* why) {
  bool is_stdin = path == "-";
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

}  // namespace tarnwick::cli
