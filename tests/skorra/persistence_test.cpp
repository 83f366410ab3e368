// Card images on disk: written after every change, atomically; a missing
// image is a fresh card, a damaged one is refused and left as it is; state
// crosses processes; a failed write is undone and reported.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "driver_support.h"

namespace skorratest {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> FolderEntries(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

class CardImages : public DriverTest {
 protected:
  fs::path Image(int port) const { return cards_.path() / ("card" + std::to_string(port) + ".img"); }

  // Leaves COM1's image holding DE AD BE EF at the start of EF 0001.
  void WriteDeadBeefAndClose() {
    const uint32_t handle = OpenAndPowerUp("COM1");
    ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
    ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
    ASSERT_EQ(driver_.CT_close(handle), 0);
  }

  std::string ReadDataFile(const char* port) {
    const uint32_t handle = OpenAndPowerUp(port);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
    const std::string data = Send(handle, apdu::kRead4).data;
    driver_.CT_close(handle);
    return data;
  }
};

TEST_F(CardImages, FreshCardWritesNothingUntilItChanges) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kRead4).sw, 0x9000);
  EXPECT_EQ(FolderEntries(cards_.path()), std::vector<std::string>{".card1.lock"});
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  // The image and its lock: no temporary file is left behind.
  EXPECT_EQ(FolderEntries(cards_.path()), (std::vector<std::string>{".card1.lock", "card1.img"}));
}

TEST_F(CardImages, FileHoldsTheCardImage) {
  WriteDeadBeefAndClose();
  EXPECT_EQ(ReadFile(Image(1)).substr(0, 5), std::string("TWVC\x01", 5));
}

TEST_F(CardImages, StateSurvivesClosingAndReopening) {
  WriteDeadBeefAndClose();
  EXPECT_EQ(ReadDataFile("COM1"), "DE AD BE EF");
  EXPECT_EQ(ReadDataFile("COM2"), "00 00 00 00");
}

TEST_F(CardImages, MissingFolderIsCreated) {
  ScopedEnv nested("SKORRA_VCARD_DIR", (cards_.path() / "a" / "b").string());
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_NE(handle, 0u);
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  EXPECT_TRUE(fs::exists(cards_.path() / "a" / "b" / "card1.img"));
}

TEST_F(CardImages, SecurityStateIsNotPersistent) {
  uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kVerify).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  driver_.CT_close(handle);
  handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectPinFile).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x6982);
}

TEST_F(CardImages, StateCrossesProcesses) {
  ProbeRun writer = RunProbe({SKORRA_LIBRARY, "COM2", "00A4000002000100", "00D6000004CAFEF00D"});
  ASSERT_EQ(writer.exit_code, 0) << writer.output;
  EXPECT_EQ(ReadDataFile("COM2"), "CA FE F0 0D");

  WriteDeadBeefAndClose();
  ProbeRun reader = RunProbe({SKORRA_LIBRARY, "COM1", "00A4000C020001", "00B0000004"});
  ASSERT_EQ(reader.exit_code, 0);
  EXPECT_EQ(reader.output, "9000 \n9000 DEADBEEF\n");
}

// The try counter is persistent state: a wrong passphrase in one process
// counts in the next.
TEST_F(CardImages, TryCounterCrossesProcesses) {
  const std::string wrong = "0020000108" "3030303030303030";
  ProbeRun first = RunProbe({SKORRA_LIBRARY, "COM1", wrong});
  ProbeRun second = RunProbe({SKORRA_LIBRARY, "COM1", wrong});
  EXPECT_EQ(first.output, "63C2 \n");
  EXPECT_EQ(second.output, "63C1 \n");
}

// A card folder serves one process at a time: while another process holds
// the card, opening its port fails; the lock goes with that process.
TEST_F(CardImages, CardHeldByAnotherProcessDoesNotOpen) {
  const int pid = StartProbe({SKORRA_LIBRARY, "COM1", "--repeat", "0", "0084000008"});
  for (int i = 0; i < 200 && !fs::exists(cards_.path() / ".card1.lock"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::testing::internal::CaptureStderr();
  const uint32_t handle = driver_.CT_open("COM1");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(handle, 0u);
  EXPECT_NE(err.find("in use by another process"), std::string::npos) << err;
  EXPECT_NE(driver_.CT_open("COM2"), 0u);

  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_NE(driver_.CT_open("COM1"), 0u);
}

struct DamageCase {
  const char* what;
  std::string (*damage)(std::string image);
};

class DamagedImages : public CardImages, public ::testing::WithParamInterface<DamageCase> {};

// A damaged image is refused and kept untouched for a person to look at;
// starting a fresh card over it would throw its contents away.
TEST_P(DamagedImages, AreRefusedAndLeftAlone) {
  WriteDeadBeefAndClose();
  const std::string damaged = GetParam().damage(ReadFile(Image(1)));
  WriteFile(Image(1), damaged);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(driver_.CT_open("COM1"), 0u);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("card1.img"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(Image(1)), damaged);
  EXPECT_EQ(ReadDataFile("COM2"), "00 00 00 00");
}

std::string Sha256(const std::string& bytes) {
  unsigned char digest[32];
  unsigned int size = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr);
  return std::string(reinterpret_cast<char*>(digest), size);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DamagedImages,
    ::testing::Values(
        DamageCase{"empty", [](std::string) { return std::string(); }},
        DamageCase{"text", [](std::string) { return std::string("not a card\n"); }},
        DamageCase{"truncated", [](std::string s) { return s.substr(0, s.size() - 1); }},
        DamageCase{"half", [](std::string s) { return s.substr(0, s.size() / 2); }},
        DamageCase{"flipped_bit", [](std::string s) { s[s.size() / 2] ^= 0x01; return s; }},
        DamageCase{"trailing_byte", [](std::string s) { return s + '\0'; }},
        DamageCase{"other_version", [](std::string s) { s[4] = 0x02; return s; }},
        // An intact header and digest around contents no card holds.
        DamageCase{"sealed_garbage", [](std::string) {
                     std::string file = std::string("TWVC\x01", 5) + std::string("\0\0\0\x05", 4) + "hello";
                     return file + Sha256(file);
                   }}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(CardImages, UnreadableImageIsRefused) {
  fs::create_directory(Image(3));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(driver_.CT_open("COM3"), 0u);
  ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(fs::is_directory(Image(3)));
}

// Something in the way of the rename (here a folder of the image's name)
// makes the write fail: the card answers 0x6581 and goes back to the state
// its file holds.
TEST_F(CardImages, FailedWriteIsReportedAndUndone) {
  WriteDeadBeefAndClose();
  const std::string saved = ReadFile(Image(1));
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  fs::rename(Image(1), cards_.path() / "moved");
  fs::create_directory(Image(1));
  EXPECT_EQ(Send(handle, "00 D6 00 00 04 01 02 03 04").sw, 0x6581);
  EXPECT_EQ(FolderEntries(cards_.path()), (std::vector<std::string>{".card1.lock", "card1.img", "moved"}));

  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kRead4).data, "DE AD BE EF");
  driver_.CT_close(handle);
  EXPECT_EQ(ReadFile(cards_.path() / "moved"), saved);
}

TEST_F(CardImages, LeftoverTemporaryFilesDoNotMatter) {
  WriteDeadBeefAndClose();
  WriteFile(cards_.path() / ".card1.img.Ab12Cd", "half a card");
  EXPECT_EQ(ReadDataFile("COM1"), "DE AD BE EF");
}

// A writer killed at arbitrary moments leaves an image that opens and holds
// one of the two patterns it alternates between, never a mix.
TEST_F(CardImages, KilledWriterLeavesAWholeImage) {
  const std::string pattern_a(256, 'A'), pattern_b(256, 'B');
  const std::string write_a = "00D6000080" + pattern_a, write_b = "00D6000080" + pattern_b;
  for (int delay_ms : {5, 13, 29, 47, 71}) {
    const int pid = StartProbe({SKORRA_LIBRARY, "COM1", "--repeat", "0", "00A4000002000100", write_a, write_b});
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);

    const uint32_t handle = OpenAndPowerUp("COM1");
    ASSERT_NE(handle, 0u) << "image unusable after a kill at " << delay_ms << " ms";
    ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
    const std::string data = Send(handle, "00 B0 00 00 80").data;
    driver_.CT_close(handle);
    if (!fs::exists(Image(1))) continue;  // killed before the first write
    EXPECT_TRUE(data == Hex(std::vector<uint8_t>(128, 0xAA)) || data == Hex(std::vector<uint8_t>(128, 0xBB)))
        << data;
  }
}

}  // namespace
}  // namespace skorratest
