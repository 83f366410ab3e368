// Hex, test folders, environment variables and files for the tests.
#include "environment.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace skorratest {

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> out;
  std::string digits;
  for (char c : hex)
    if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
  if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits: " + hex);
  for (std::size_t i = 0; i < digits.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char buf[4];
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    out += buf;
  }
  return out;
}

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "skorra-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace skorratest
