// Test folders, environment variables and files for the tests.
#include "environment.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/os.h"

namespace skorratest {

TempFolder::TempFolder() : path_(testos::MakeTempFolder("skorra-test-")) {}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

ScopedEnv::ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  testos::SetVariable(name, value);
}

ScopedEnv::~ScopedEnv() { testos::SetVariable(name_, old_); }

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
