// The diagnostic log: the line byte for byte (the same bytes on every
// system, CR LF at the end), opt-in by an existing regular file, and refusal
// of a folder, link or FIFO planted at the path.
#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

#include "support/fixtures.h"
#include "support/os.h"

namespace twtest {
namespace {

namespace fs = std::filesystem;

const std::string kLabel = "\xB7\xB5\xBB\xD8\xC2\xEB";

struct LineCase {
  const char* text;
  int32_t value;
  std::string after_timestamp;  // what follows "YYYY-MM-DD hh:mm:ss"
};

// "YYYY-MM-DD hh:mm:ss" in local time, as the log stamps a line.
std::string LocalStamp(std::time_t when) {
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&when));
  return stamp;
}

class LogLine : public ::testing::TestWithParam<LineCase> {
 protected:
  LogPathGuard guard_;
};

TEST_P(LogLine, IsWrittenByteForByte) {
  LogPathGuard::CreateEmpty();
  const std::time_t before = std::time(nullptr);
  EXPECT_EQ(writeLog(GetParam().text, GetParam().value), 0);
  const std::time_t after = std::time(nullptr);
  const std::string line = LogPathGuard::Contents();
  ASSERT_GE(line.size(), 19u);
  EXPECT_TRUE(std::regex_match(line.substr(0, 19), std::regex(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)")))
      << line;
  EXPECT_TRUE(line.substr(0, 19) == LocalStamp(before) || line.substr(0, 19) == LocalStamp(after)) << line;
  EXPECT_EQ(Hex(reinterpret_cast<const uint8_t*>(line.data()) + 19, line.size() - 19),
            Hex(reinterpret_cast<const uint8_t*>(GetParam().after_timestamp.data()),
                GetParam().after_timestamp.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogLine,
    ::testing::Values(LineCase{"abc", 0x6A, ": abc " + kLabel + "=  6A\r\n"},
                      LineCase{"", 0x9000, ":  " + kLabel + "=9000\r\n"},
                      LineCase{"x", 0x12345, ": x " + kLabel + "=12345\r\n"},
                      LineCase{"x", -1, ": x " + kLabel + "=FFFFFFFF\r\n"},
                      LineCase{"x", 0, ": x " + kLabel + "=   0\r\n"},
                      LineCase{"\xC9\xFA", 0xabc, ": \xC9\xFA " + kLabel + "= ABC\r\n"},
                      // The caller's line feed is kept as it is, not turned into CR LF.
                      LineCase{"a\nb", 1, ": a\nb " + kLabel + "=   1\r\n"}));

TEST(Log, LinesAreAppended) {
  LogPathGuard guard;
  { std::ofstream(LogPathGuard::kPath, std::ios::binary) << "earlier\r\n"; }
  writeLog("one", 1);
  writeLog("two", 2);
  const std::string all = LogPathGuard::Contents();
  EXPECT_EQ(all.rfind("earlier\r\n", 0), 0u);
  EXPECT_NE(all.find("one " + kLabel + "=   1\r\n"), std::string::npos);
  EXPECT_NE(all.find("two " + kLabel + "=   2\r\n"), std::string::npos);
}

TEST(Log, MissingFileIsNotCreated) {
  LogPathGuard guard;
  EXPECT_EQ(writeLog("abc", 1), 0);
  EXPECT_FALSE(fs::exists(fs::symlink_status(LogPathGuard::kPath)));
}

TEST(Log, FolderAtThePathIsRefused) {
  LogPathGuard guard;
  fs::create_directory(LogPathGuard::kPath);
  EXPECT_EQ(writeLog("abc", 1), 0);
  EXPECT_TRUE(fs::is_directory(LogPathGuard::kPath));
}

TEST(Log, SymlinkAtThePathIsRefused) {
  if (testos::kWindows) GTEST_SKIP() << "the Windows log is c:\\iclog.txt, in a folder only administrators write to";
  LogPathGuard guard;
  const fs::path target = fs::temp_directory_path() / ("tarnwick-log-target-" + std::to_string(testos::ProcessId()));
  { std::ofstream(target, std::ios::binary) << "keep"; }
  fs::create_symlink(target, LogPathGuard::kPath);
  EXPECT_EQ(writeLog("abc", 1), 0);
  std::ifstream in(target, std::ios::binary);
  std::string contents((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(contents, "keep");
  fs::remove(target);
}

TEST(Log, FifoAtThePathIsRefusedWithoutBlocking) {
  if (testos::kWindows) GTEST_SKIP() << "Windows has no FIFOs in its file system";
  LogPathGuard guard;
  ASSERT_TRUE(testos::MakeFifo(LogPathGuard::kPath));
  EXPECT_EQ(writeLog("abc", 1), 0);
}

}  // namespace
}  // namespace twtest
