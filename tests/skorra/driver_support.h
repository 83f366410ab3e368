// Test support for the driver: libskorra.so loaded by path, commands sent as
// hex strings, and the probe program run as a second process.
#pragma once

#include <gtest/gtest.h>

#include "environment.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace skorratest {

// The built driver, loaded for one test and unloaded after it.
class Driver {
 public:
  Driver();
  ~Driver();
  Driver(const Driver&) = delete;
  Driver& operator=(const Driver&) = delete;

  uint32_t (*CT_open)(const char*) = nullptr;
  int32_t (*CT_close)(uint32_t) = nullptr;
  int32_t (*CT_reset)(int32_t) = nullptr;
  int32_t (*ICC_reset)(int32_t, int32_t, int32_t) = nullptr;
  int32_t (*ICC_set_NAD)(int32_t) = nullptr;
  int32_t (*ICC_tsi_api)(uint32_t, uint8_t, const uint8_t*, uint8_t*, uint8_t*) = nullptr;

 private:
  void* module_ = nullptr;
};

struct Answer {
  int32_t sw = 0;
  std::string data;  // hex, "DE AD BE EF"
};

// Sends one command written in hex ("00 B0 00 00 04").
Answer Send(const Driver& driver, uint32_t handle, const std::string& apdu_hex);

// The probe program: opens a port of the driver in a process of its own
// (with this process's environment) and sends commands; see probe.cpp.
struct ProbeRun {
  int exit_code = -1;
  std::string output;
};
ProbeRun RunProbe(const std::vector<std::string>& args);
// Starts the probe and returns its process id without waiting.
int StartProbe(const std::vector<std::string>& args);

// A test with the driver loaded, every driver variable cleared and the
// cards kept in a folder of the test's own, so that each test starts from
// fresh cards.
class DriverTest : public ::testing::Test {
 protected:
  // Opens the port and powers its card up; the handle, or 0.
  uint32_t OpenAndPowerUp(const char* port);
  Answer Send(uint32_t handle, const std::string& apdu_hex) { return skorratest::Send(driver_, handle, apdu_hex); }

  TempFolder cards_;
  ScopedEnv card_dir_{"SKORRA_VCARD_DIR", cards_.path().string()};
  ScopedEnv trace_{"SKORRA_TRACE", std::nullopt};
  ScopedEnv secrets_{"SKORRA_TRACE_SECRETS", std::nullopt};
  Driver driver_;
};

// Commands of the fresh card's profile, as hex.
namespace apdu {
inline const std::string kSelectData = "00 A4 00 00 02 00 01 00";      // EF 0001, free access
inline const std::string kSelectPinFile = "00 A4 00 00 02 00 04 00";   // EF 0004, after VERIFY
inline const std::string kVerify = "00 20 00 01 08 31 32 33 34 35 36 37 38";  // passphrase 01 "12345678"
inline const std::string kWriteDeadBeef = "00 D6 00 00 04 DE AD BE EF";
inline const std::string kRead4 = "00 B0 00 00 04";
}  // namespace apdu

}  // namespace skorratest
