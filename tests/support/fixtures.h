// Fixtures shared by the unit tests: a library bound to the recording test
// driver, and a guard that keeps whatever sits at the log path.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/recorder.h"
#include "tarnwick.h"

namespace twtest {

// The handle every unit test passes to card exports.
constexpr tw_handle_t kReader = 0x1234;

// Binds the serial recording driver for one test and unbinds it after.
class BoundDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    ASSERT_EQ(InitialLib(1), 1) << "the recording test driver is not where the library looks";
  }
  void TearDown() override { FreeLib(); }
};

// Moves anything at the log path aside for the test and puts it back after.
class LogPathGuard {
 public:
#if defined(_WIN32)
  static constexpr const char* kPath = "c:\\iclog.txt";
#else
  static constexpr const char* kPath = "/tmp/iclog.txt";
#endif
  LogPathGuard();
  ~LogPathGuard();
  LogPathGuard(const LogPathGuard&) = delete;
  LogPathGuard& operator=(const LogPathGuard&) = delete;

  // The file's bytes, or "" when it does not exist.
  static std::string Contents();
  static void CreateEmpty();

 private:
  std::filesystem::path backup_;
  bool had_file_ = false;
};

}  // namespace twtest
