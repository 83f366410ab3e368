// Log path guard: moves an existing log aside and restores it.
#include "support/fixtures.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "support/os.h"

namespace twtest {

namespace fs = std::filesystem;

LogPathGuard::LogPathGuard() {
  std::error_code ec;
  had_file_ = fs::exists(fs::symlink_status(kPath, ec));
  if (had_file_) {
    backup_ = fs::path(kPath).string() + ".saved-by-test-" + std::to_string(testos::ProcessId());
    fs::rename(kPath, backup_);
  }
}

LogPathGuard::~LogPathGuard() {
  std::error_code ec;
  fs::remove(kPath, ec);
  if (had_file_) fs::rename(backup_, kPath, ec);
}

std::string LogPathGuard::Contents() {
  std::ifstream in(kPath, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void LogPathGuard::CreateEmpty() { std::ofstream(kPath, std::ios::binary | std::ios::trunc); }

}  // namespace twtest
