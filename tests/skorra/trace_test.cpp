// The trace: one line per command and per answer with the status meaning,
// secrets hidden unless asked for, to a file or to standard error.
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "driver_support.h"

namespace skorratest {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TraceFile : public DriverTest {
 protected:
  std::vector<std::string> TraceLines() const { return Lines(ReadFile(trace_path_)); }
  // The line that follows the first line equal to `line`.
  std::string After(const std::string& line) const {
    const std::vector<std::string> lines = TraceLines();
    for (std::size_t i = 0; i + 1 < lines.size(); ++i)
      if (lines[i] == line) return lines[i + 1];
    return "(no line " + line + ")";
  }

  TempFolder trace_folder_;
  std::filesystem::path trace_path_ = trace_folder_.path() / "trace.txt";
  ScopedEnv trace_on_{"SKORRA_TRACE", trace_path_.string()};
};

TEST_F(TraceFile, PrintsEveryCommandAndAnswerInOrder) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  Send(handle, apdu::kWriteDeadBeef);
  Send(handle, apdu::kRead4);
  Send(handle, "00 A4 00 00 02 00 99 00");
  driver_.CT_close(handle);

  const std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(lines.size(), 11u) << ReadFile(trace_path_);
  EXPECT_EQ(lines[0], "COM1 - open");
  EXPECT_EQ(lines[1], "COM1 - power up");
  EXPECT_EQ(lines[2], "COM1 > 00 A4 00 00 02 00 01 00");
  EXPECT_TRUE(lines[3].ends_with("9000 (command completed)")) << lines[3];
  EXPECT_EQ(lines[4], "COM1 > 00 D6 00 00 04 DE AD BE EF");
  EXPECT_EQ(lines[5], "COM1 < 9000 (command completed)");
  EXPECT_EQ(lines[6], "COM1 > 00 B0 00 00 04");
  EXPECT_EQ(lines[7], "COM1 < DE AD BE EF | 9000 (command completed)");
  EXPECT_EQ(lines[8], "COM1 > 00 A4 00 00 02 00 99 00");
  EXPECT_EQ(lines[9], "COM1 < 6A82 (file or application not found)");
  EXPECT_EQ(lines[10], "COM1 - close");
}

TEST_F(TraceFile, AppendsToWhatTheFileHolds) {
  WriteFile(trace_path_, "earlier line\n");
  driver_.CT_close(OpenAndPowerUp("COM2"));
  const std::vector<std::string> lines = TraceLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "earlier line");
  EXPECT_EQ(lines[1], "COM2 - open");
}

TEST_F(TraceFile, NotesResetsAndTheNodeAddress) {
  const uint32_t handle = OpenAndPowerUp("COM4");
  driver_.CT_reset(static_cast<int32_t>(handle));
  driver_.ICC_set_NAD(0x2A);
  EXPECT_EQ(After("COM4 - power up"), "COM4 - reader reset");
  EXPECT_EQ(After("COM4 - reader reset"), "COM4 - node address 2A");
}

struct SecretCase {
  const char* what;
  const char* command;
  const char* hidden;  // the command line with secrets hidden
};

class Redaction : public TraceFile, public ::testing::WithParamInterface<SecretCase> {};

TEST_P(Redaction, HidesSecretBytesByDefault) {
  Send(OpenAndPowerUp("COM1"), GetParam().command);
  EXPECT_EQ(After("COM1 - power up"), std::string("COM1 > ") + GetParam().hidden);
}

TEST_P(Redaction, ShowsThemWhenAsked) {
  ScopedEnv show("SKORRA_TRACE_SECRETS", "1");
  Send(OpenAndPowerUp("COM1"), GetParam().command);
  EXPECT_EQ(After("COM1 - power up"), std::string("COM1 > ") + GetParam().command);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Redaction,
    ::testing::Values(
        SecretCase{"verify", "00 20 00 01 08 31 32 33 34 35 36 37 38", "00 20 00 01 08 ** ** ** ** ** ** ** **"},
        SecretCase{"verify_empty", "00 20 00 01 00", "00 20 00 01 00"},
        SecretCase{"change", "80 24 00 01 10 31 32 33 34 35 36 37 38 41 42 43 44 45 46 47 48",
                   "80 24 00 01 10 ** ** ** ** ** ** ** ** ** ** ** ** ** ** ** **"},
        SecretCase{"unblock", "80 2C 00 01 10 38 37 36 35 34 33 32 31 41 42 43 44 45 46 47 48",
                   "80 2C 00 01 10 ** ** ** ** ** ** ** ** ** ** ** ** ** ** ** **"},
        SecretCase{"write_key", "80 D4 01 07 0B 07 01 01 00 11 22 33 44 55 66 77",
                   "80 D4 01 07 0B ** ** ** ** ** ** ** ** ** ** **"},
        SecretCase{"card_des", "10 02 00 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74",
                   "10 02 00 00 10 ** ** ** ** ** ** ** ** 4E 6F 77 20 69 73 20 74"},
        SecretCase{"cipher_key", "80 F4 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF",
                   "80 F4 00 00 10 ** ** ** ** ** ** ** ** ** ** ** ** ** ** ** **"},
        // A secret sent with more bytes than Lc announces stays hidden.
        SecretCase{"verify_overlong", "00 20 00 01 02 31 32 33 34", "00 20 00 01 02 ** ** ** **"},
        SecretCase{"update_binary", "00 D6 00 00 04 DE AD BE EF", "00 D6 00 00 04 DE AD BE EF"},
        // A command no instruction declares hides all of its data.
        SecretCase{"undeclared", "80 99 00 00 02 AB CD", "80 99 00 00 02 ** **"},
        SecretCase{"cipher_block", "80 F0 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF",
                   "80 F0 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"}),
    [](const auto& info) { return std::string(info.param.what); });

// Key-pair generation without a key slot hands out the private values after
// the public-key record: those answers print as "**".
TEST_F(TraceFile, HidesPrivateKeyValuesOfOfflineGeneration) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  int32_t sw = Send(handle, "80 CE 00 00 00").sw;
  for (int polls = 0; sw != 0x6D00 && polls < 100; ++polls) sw = Send(handle, "00 00 00 00 00").sw;
  ASSERT_EQ(sw, 0x6D00);
  Answer record = Send(handle, "80 CE 00 00 00");
  ASSERT_EQ(record.sw, 0x9000);
  ASSERT_TRUE(record.data.starts_with("6E 80")) << record.data;
  Answer d = Send(handle, "80 CE 00 00 00");
  ASSERT_EQ(d.sw, 0x9000);
  ASSERT_EQ(Bytes(d.data).size(), 128u);

  std::vector<std::string> answers;
  for (const std::string& line : TraceLines())
    if (line.starts_with("COM1 < ") && line.ends_with("| 9000 (command completed)")) answers.push_back(line);
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0], "COM1 < " + record.data + " | 9000 (command completed)");
  std::string stars;
  for (int i = 0; i < 128; ++i) stars += i ? " **" : "**";
  EXPECT_EQ(answers[1], "COM1 < " + stars + " | 9000 (command completed)");
}

TEST_F(TraceFile, LinesOfSeveralPortsNeverInterleave) {
  std::vector<std::thread> threads;
  for (const char* port : {"COM1", "COM2", "COM3", "COM4"})
    threads.emplace_back([this, port] {
      const uint32_t handle = OpenAndPowerUp(port);
      for (int i = 0; i < 200; ++i) Send(handle, "00 84 00 00 08");
      driver_.CT_close(handle);
    });
  for (std::thread& t : threads) t.join();
  const std::vector<std::string> lines = TraceLines();
  EXPECT_EQ(lines.size(), 4u * (3 + 400));
  for (const std::string& line : lines) {
    const bool command = line.size() == 21 && line.substr(4) == " > 00 84 00 00 08";
    const bool answer = line.size() == 57 && line.ends_with(" | 9000 (command completed)");
    const bool event = line.find(" - ") == 4;
    ASSERT_TRUE(line.starts_with("COM") && (command || answer || event)) << line;
  }
}

struct StderrCase {
  std::optional<std::string> setting;
  bool traced;
};

class TraceToStandardError : public DriverTest, public ::testing::WithParamInterface<StderrCase> {};

TEST_P(TraceToStandardError, FollowsTheSetting) {
  ScopedEnv trace("SKORRA_TRACE", GetParam().setting);
  ::testing::internal::CaptureStderr();
  const uint32_t handle = OpenAndPowerUp("COM2");
  Send(handle, apdu::kSelectData);
  driver_.CT_close(handle);
  const std::string err = ::testing::internal::GetCapturedStderr();
  if (GetParam().traced) {
    EXPECT_NE(err.find("COM2 > 00 A4 00 00 02 00 01 00\n"), std::string::npos) << err;
  } else {
    EXPECT_EQ(err, "");
  }
  if (GetParam().setting && !GetParam().setting->empty()) {
    EXPECT_FALSE(std::filesystem::exists(*GetParam().setting)) << "a word made a trace file";
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, TraceToStandardError,
                         ::testing::Values(StderrCase{"1", true}, StderrCase{"yes", true}, StderrCase{"true", true},
                                           StderrCase{"on", true}, StderrCase{"YES", true}, StderrCase{"0", false},
                                           StderrCase{"no", false}, StderrCase{"false", false},
                                           StderrCase{"off", false}, StderrCase{"", false},
                                           StderrCase{std::nullopt, false}));

// Standard error a pipe whose reader is gone (`tarnwick ... 2>&1 | head`):
// the lines are dropped, the process lives, the commands complete, and the
// SIGPIPE the writes raised is not left for the application.
TEST_F(DriverTest, TraceToAPipeWithoutReaderDropsTheLines) {
  ScopedEnv trace("SKORRA_TRACE", "1");
  Answer written, read;
  bool signal_left = true;
  const bool ran = testos::WithBrokenStandardError(
      [&] {
        const uint32_t handle = OpenAndPowerUp("COM1");
        Send(handle, apdu::kSelectData);
        written = Send(handle, apdu::kWriteDeadBeef);
        read = Send(handle, apdu::kRead4);
        driver_.CT_close(handle);
      },
      signal_left);
  if (!ran) GTEST_SKIP() << "no SIGPIPE on this system";
  EXPECT_EQ(written.sw, 0x9000);
  EXPECT_EQ(read.data, "DE AD BE EF");
  EXPECT_FALSE(signal_left);
}

TEST_F(DriverTest, UnwritableTraceFileIsReportedAndThePortStillWorks) {
  ScopedEnv trace("SKORRA_TRACE", cards_.path().string());  // a folder, not a file
  ::testing::internal::CaptureStderr();
  const uint32_t handle = OpenAndPowerUp("COM1");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("cannot open trace file"), std::string::npos) << err;
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
}

}  // namespace
}  // namespace skorratest
