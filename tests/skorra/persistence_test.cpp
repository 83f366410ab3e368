// Card images on disk: written after every change, atomically; a missing
// image is a fresh card, a damaged one is refused and left as it is; state
// crosses processes; a failed write is undone and reported.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <chrono>
#include <fstream>
#include <future>
#include <thread>

#include "card_lock.h"
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

// A new passphrase goes into the image itself, so the old one stays in no
// file of the card; an ordinary write is a journal record.
TEST_F(CardImages, ReplacedPassphraseStaysInNoFile) {
  WriteDeadBeefAndClose();
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, "00 D6 00 00 04 01 02 03 04").sw, 0x9000);
  EXPECT_TRUE(fs::exists(cards_.path() / "card1.journal"));
  // Passphrase 01 from 12345678 to abcdefgh.
  ASSERT_EQ(Send(handle, "80 24 00 01 10 31 32 33 34 35 36 37 38 61 62 63 64 65 66 67 68").sw, 0x9000);
  EXPECT_FALSE(fs::exists(cards_.path() / "card1.journal"));
  std::ifstream image(Image(1), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(image)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.find("12345678"), std::string::npos);
  EXPECT_NE(bytes.find("abcdefgh"), std::string::npos);
  driver_.CT_close(handle);
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

// Processes take turns on a card: while another process keeps the port
// open and writes now and then, this one opens it too, and each sees the
// other's writes.
TEST_F(CardImages, CardOpenInAnotherProcessIsShared) {
  const testos::ChildId probe = StartProbe(
      {SKORRA_LIBRARY, "COM1", "--repeat", "0", "--pause", "50", "00A4000002000100", "00D6000004CAFEF00D"});
  for (int i = 0; i < 200 && !fs::exists(Image(1)); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ::testing::internal::CaptureStderr();
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kRead4).data, "CA FE F0 0D");
  EXPECT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  testos::Kill(probe);
  driver_.CT_close(handle);
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
  fs::remove(Image(1));
  fs::rename(cards_.path() / "moved", Image(1));

  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kRead4).data, "DE AD BE EF");
  driver_.CT_close(handle);
  EXPECT_EQ(ReadFile(Image(1)), saved);
}

// A writer killed before its rename leaves a whole image under a temporary
// name: the next open of that card removes it, and only it.
TEST_F(CardImages, LeftoverTemporaryFilesAreRemovedOnOpen) {
  WriteDeadBeefAndClose();
  WriteFile(cards_.path() / ".card1.img.Ab12Cd", "half a card");
  WriteFile(cards_.path() / ".card2.img.Zz9Yy8", "another card's");
  EXPECT_EQ(ReadDataFile("COM1"), "DE AD BE EF");
  EXPECT_EQ(FolderEntries(cards_.path()), (std::vector<std::string>{".card1.lock", ".card2.img.Zz9Yy8", "card1.img"}));
}

// A writer killed at arbitrary moments leaves an image that opens and holds
// one of the two patterns it alternates between, never a mix.
TEST_F(CardImages, KilledWriterLeavesAWholeImage) {
  const std::string pattern_a(256, 'A'), pattern_b(256, 'B');
  const std::string write_a = "00D6000080" + pattern_a, write_b = "00D6000080" + pattern_b;
  for (int delay_ms : {5, 13, 29, 47, 71}) {
    const testos::ChildId probe =
        StartProbe({SKORRA_LIBRARY, "COM1", "--repeat", "0", "00A4000002000100", write_a, write_b});
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    testos::Kill(probe);

    const uint32_t handle = OpenAndPowerUp("COM1");
    ASSERT_NE(handle, 0u) << "image unusable after a kill at " << delay_ms << " ms";
    for (const std::string& name : FolderEntries(cards_.path()))
      EXPECT_FALSE(name.starts_with(".card1.img.")) << name << " left after a kill at " << delay_ms << " ms";
    ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
    const std::string data = Send(handle, "00 B0 00 00 80").data;
    driver_.CT_close(handle);
    if (!fs::exists(Image(1))) continue;  // killed before the first write
    EXPECT_TRUE(data == Hex(std::vector<uint8_t>(128, 0xAA)) || data == Hex(std::vector<uint8_t>(128, 0xBB)))
        << data;
  }
}

// Unmounts what a test mounted, however the test ends.
struct MountGuard {
  fs::path folder;
  ~MountGuard() { testos::Unmount(folder); }
};

// A save that fails (a full tmpfs where the test may mount one, else the
// rename blocked) refuses every counted secret: the right passphrase like a
// wrong one, nothing granted, and no try spent that was not kept.
TEST_F(CardImages, FailedSaveRefusesCountedSecretsWithoutComparing) {
  const fs::path dir = cards_.path() / "disk";
  fs::create_directory(dir);
  MountGuard mounted{dir};
  const bool full_disk = testos::MountTmpfs(dir, "256k", false);
  ScopedEnv card_dir("SKORRA_VCARD_DIR", dir.string());
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  if (full_disk) {
    std::ofstream filler(dir / "filler", std::ios::binary);
    while (filler.write(std::string(4096, 'x').data(), 4096) && filler.flush()) {
    }
  } else {
    fs::rename(dir / "card1.img", dir / "moved");
    fs::create_directory(dir / "card1.img");
  }
  const std::string wrong = "00 20 00 01 08 30 30 30 30 30 30 30 30";
  EXPECT_EQ(Send(handle, wrong).sw, 0x6581);
  EXPECT_EQ(Send(handle, apdu::kVerify).sw, 0x6581);
  EXPECT_EQ(Send(handle, "80 2C 00 01 10 38 37 36 35 34 33 32 31 31 32 33 34 35 36 37 38").sw, 0x6581);
  ASSERT_EQ(Send(handle, apdu::kSelectPinFile).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x6982);
  fs::remove(dir / (full_disk ? "filler" : "card1.img"));
  if (!full_disk) fs::rename(dir / "moved", dir / "card1.img");
  EXPECT_EQ(Send(handle, wrong).sw, 0x63C2);
  driver_.CT_close(handle);
}

// A card file deleted while a port is open comes back as the unwritten
// card every process sees, with the serial number its path gives.
TEST_F(CardImages, DeletedFileComesBackWithItsSerial) {
  const std::string kSelectSerial = "00 A4 00 00 02 00 03 00";
  uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, kSelectSerial).sw, 0x9000);
  const std::string unwritten = Send(handle, "00 B0 00 00 08").data;
  driver_.CT_close(handle);
  WriteDeadBeefAndClose();
  handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the burst's lock given back
  fs::remove(Image(1));
  ASSERT_EQ(Send(handle, kSelectSerial).sw, 0x9000);
  EXPECT_EQ(Send(handle, "00 B0 00 00 08").data, unwritten);
  driver_.CT_close(handle);
}

// A child forked while a port holds its card keeps none of it: the parent
// takes the card again at once though the child lives on, and the child's
// copy of the port is closed without touching the card's files.
TEST_F(CardImages, ForkedChildHoldsNoCard) {
  if (testos::kWindows) GTEST_SKIP() << "Windows processes do not fork";
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);  // the burst's lock is held now
  const testos::ChildId child = testos::Fork([&] {
    std::this_thread::sleep_for(std::chrono::seconds(1));
    return driver_.CT_close(handle) == 0 ? 1 : 0;
  });
  ASSERT_NE(child, -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  EXPECT_EQ(testos::Wait(child), 0);
  driver_.CT_close(handle);
  EXPECT_EQ(ReadDataFile("COM1"), "DE AD BE EF");
}

// Another process that never pauses keeps the card: after the driver's
// patience the command answers 0x6FF0 (busy), since 0xFFFF would tell the
// caller the card is gone; once the lock is free the card answers again.
TEST_F(CardImages, CardKeptBusyElsewhereAnswersBusy) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the burst's lock given back
  std::string problem;
  {
    const auto other = tarnwick::skorra::CardLock::Take(cards_.path() / ".card1.lock", problem);
    ASSERT_TRUE(other) << problem;
    EXPECT_EQ(Send(handle, apdu::kRead4).sw, 0x6FF0);
  }
  EXPECT_EQ(Send(handle, apdu::kRead4).sw, 0x9000);
  driver_.CT_close(handle);
}

// A lock file deleted or replaced while COM1 is open lets a second process
// open the card; no write is lost for it. The holder writes first: the lock
// is taken again and the second process is kept out. The second process
// writes first: the holder's view is stale and its writes are refused.
struct LockTamper {
  const char* name;
  void (*tamper)(const fs::path& lock);
  bool holder_writes_first;
};

class LockTampering : public CardImages, public ::testing::WithParamInterface<LockTamper> {};

TEST_P(LockTampering, NeverLosesAWrite) {
  if (testos::kWindows) GTEST_SKIP() << "Windows refuses to delete or replace a held lock file";
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, "00 D6 00 00 04 01 02 03 04").sw, 0x9000);
  GetParam().tamper(cards_.path() / ".card1.lock");
  const std::vector<std::string> other = {SKORRA_LIBRARY, "COM1", "00A4000002000100", "00D6000004CAFEF00D"};
  // The holder's write after the other's is refused while its burst lasts
  // (its view is stale) and lands on the other's once a new burst began:
  // the file always ends with the last write reported done.
  int32_t holder = 0x9000;
  if (GetParam().holder_writes_first) {
    EXPECT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  }
  EXPECT_EQ(RunProbe(other).exit_code, 0);
  if (!GetParam().holder_writes_first) holder = Send(handle, apdu::kWriteDeadBeef).sw;
  EXPECT_TRUE(holder == 0x9000 || holder == 0x6581) << std::hex << holder;
  driver_.CT_close(handle);
  const bool holder_last = !GetParam().holder_writes_first && holder == 0x9000;
  EXPECT_EQ(ReadDataFile("COM1"), holder_last ? "DE AD BE EF" : "CA FE F0 0D");
}

void DeleteLock(const fs::path& lock) { fs::remove(lock); }
void ReplaceLock(const fs::path& lock) {
  WriteFile(lock.string() + ".new", "");
  fs::rename(lock.string() + ".new", lock);
}

INSTANTIATE_TEST_SUITE_P(Kinds, LockTampering,
                         ::testing::Values(LockTamper{"deleted_other_first", DeleteLock, false},
                                           LockTamper{"replaced_other_first", ReplaceLock, false},
                                           LockTamper{"deleted_holder_first", DeleteLock, true},
                                           LockTamper{"replaced_holder_first", ReplaceLock, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Hostile or unlucky surroundings: the port is refused (or, for the trace,
// opened without it) at once, with the real reason on standard error.
struct Surroundings {
  const char* name;
  bool (*setup)(const fs::path& cards);  // false: cannot be made here
  const char* variable;                  // set to `value` ("{cards}" the card folder), or nullptr
  const char* value;
  bool opens;
  const char* reason;
};

class HostileSurroundings : public CardImages, public ::testing::WithParamInterface<Surroundings> {};

TEST_P(HostileSurroundings, OpenReturnsAtOnceWithTheReason) {
  const Surroundings& c = GetParam();
  MountGuard mounted{cards_.path()};
  if (!c.setup(cards_.path())) GTEST_SKIP() << "cannot be set up here";
  std::string value = c.value != nullptr ? c.value : "";
  if (const std::size_t at = value.find("{cards}"); at != std::string::npos)
    value.replace(at, 7, cards_.path().string());
  ScopedEnv variable(c.variable != nullptr ? c.variable : "SKORRA_UNUSED", value);
  ::testing::internal::CaptureStderr();
  auto opened = std::async(std::launch::async, [this] { return driver_.CT_open("COM1"); });
  const bool returned = opened.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  for (const auto& entry : fs::recursive_directory_iterator(cards_.path()))
    if (!returned && entry.is_fifo()) testos::WakeFifo(entry.path());
  const uint32_t handle = opened.get();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_TRUE(returned) << "CT_open blocked";
  EXPECT_FALSE(fs::exists(cards_.path() / "elsewhere")) << "a link was followed";
  EXPECT_EQ(handle != 0, c.opens) << err;
  EXPECT_NE(err.find(c.reason), std::string::npos) << err;
  EXPECT_EQ(err.find("in use by another process"), std::string::npos) << err;
  if (handle != 0) driver_.CT_close(handle);
}

bool Nothing(const fs::path&) { return true; }

INSTANTIATE_TEST_SUITE_P(
    Kinds, HostileSurroundings,
    ::testing::Values(
        Surroundings{"image_fifo", [](const fs::path& d) { return testos::MakeFifo(d / "card1.img"); }, nullptr,
                     nullptr, false, "not a regular file"},
        Surroundings{"image_link_to_fifo",
                     [](const fs::path& d) {
                       if (!testos::MakeFifo(d / "fifo")) return false;
                       fs::create_symlink(d / "fifo", d / "card1.img");
                       return true;
                     },
                     nullptr, nullptr, false, "not a regular file"},
        Surroundings{"lock_fifo", [](const fs::path& d) { return testos::MakeFifo(d / ".card1.lock"); }, nullptr,
                     nullptr, false, "not a regular file"},
        Surroundings{"lock_link",
                     [](const fs::path& d) {
                       if (testos::kWindows) return false;
                       fs::create_symlink(d / "elsewhere", d / ".card1.lock");
                       return true;
                     },
                     nullptr, nullptr, false, "symbolic link"},
        Surroundings{"read_only_disk", [](const fs::path& d) { return testos::MountTmpfs(d, "64k", true); },
                     nullptr, nullptr, false, "Read-only file system"},
        Surroundings{"trace_fifo", [](const fs::path& d) { return testos::MakeFifo(d / "trace"); }, "SKORRA_TRACE",
                     "{cards}/trace", true, "cannot open trace file"},
        Surroundings{"backend_upper_case", Nothing, "SKORRA_BACKEND", "PCSC", false,
                     "the accepted values are \"virtual\" and \"pcsc\""},
        Surroundings{"backend_typo", Nothing, "SKORRA_BACKEND", "pcsc-lite", false,
                     "SKORRA_BACKEND=pcsc-lite is not a backend"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace skorratest
