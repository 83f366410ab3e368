// Several threads: each port on its own thread keeps its own card intact,
// threads sharing a port take turns, and open/close races leave one session.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "driver_support.h"

namespace skorratest {
namespace {

std::string WriteCommand(int port, int round) {
  char command[64];
  std::snprintf(command, sizeof command, "00 D6 00 00 04 %02X %02X %02X %02X", port, round & 0xFF, port,
                round & 0xFF);
  return command;
}

class Threads : public DriverTest, public ::testing::WithParamInterface<bool> {
 protected:
  // With the parameter set the cards live in memory, else in image files.
  ScopedEnv storage_{"SKORRA_VCARD_DIR",
                     GetParam() ? std::nullopt : std::optional<std::string>(cards_.path().string())};
};

TEST_P(Threads, EachPortKeepsItsOwnCard) {
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int port = 1; port <= 4; ++port)
    threads.emplace_back([&, port] {
      const std::string name = "COM" + std::to_string(port);
      const uint32_t handle = OpenAndPowerUp(name.c_str());
      if (Send(handle, apdu::kSelectData).sw != 0x9000) ++mismatches;
      for (int round = 0; round < 150; ++round) {
        const std::string command = WriteCommand(port, round);
        if (Send(handle, command).sw != 0x9000 || Send(handle, apdu::kRead4).data != command.substr(15))
          ++mismatches;
      }
      driver_.CT_close(handle);
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(mismatches.load(), 0);
}

TEST_P(Threads, ThreadsSharingAPortTakeTurns) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 200; ++i) {
        Answer challenge = Send(handle, "00 84 00 00 08");
        if (challenge.sw != 0x9000 || challenge.data.size() != 23) ++failures;
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST_P(Threads, OpenCloseRacesLeaveOneSessionAtATime) {
  std::atomic<int> open_now{0}, overlaps{0}, opened{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 100; ++i) {
        const uint32_t handle = driver_.CT_open("COM2");
        if (handle == 0) continue;
        ++opened;
        if (++open_now > 1) ++overlaps;
        Send(handle, "00 84 00 00 08");
        --open_now;
        driver_.CT_close(handle);
      }
    });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(overlaps.load(), 0);
  EXPECT_GT(opened.load(), 0);
  EXPECT_NE(driver_.CT_open("COM2"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Storage, Threads, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "memory" : "files"; });

}  // namespace
}  // namespace skorratest
