// What the card keeps between processes: with a card folder, files and try
// counters carry over from one application's process to the next; without
// one, every process starts from a fresh card.
#include "card_session.h"
#include "support/os.h"

namespace e2e {
namespace {

// Runs the session child with this process's environment; its output.
std::string RunChild(const std::vector<std::string>& args) {
  const testos::Finished finished = testos::Run(SESSION_CHILD, args);
  return finished.exit_code == 0 ? finished.output : finished.output + "child failed\n";
}

std::string HexNoSpaces(const std::vector<uint8_t>& bytes) {
  std::string hex = Hex(bytes);
  std::erase(hex, ' ');
  return hex;
}

const std::string kWrongPass = "verify:3030303030303030";

TEST_F(CardSession, FilesAndTryCountersCarryOverBetweenProcesses) {
  const std::vector<uint8_t> data = Pattern(300, 0x77);
  EXPECT_EQ(RunChild({"2", "select:01", "update:" + HexNoSpaces(data), kWrongPass}), "9000\n9000\n63C2\n");
  EXPECT_EQ(RunChild({"2", "select:01", "read:300", kWrongPass}), "9000\n9000 " + HexNoSpaces(data) + "\n63C1\n");

  tw_handle_t second = 0;
  ASSERT_EQ(OpenCom(2, &second), 0);
  ASSERT_EQ(ResetICC(static_cast<int32_t>(second), 0, 0), 0);
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, second), 0x9000);
  std::vector<uint8_t> back(300);
  ASSERT_EQ(ReadBin(300, back.data(), second), 0x9000);
  EXPECT_EQ(Hex(back), Hex(data));
  const std::vector<uint8_t> wrong(8, '0');
  EXPECT_EQ(VerifyPassphrase(wrong.data(), 8, 0x01, second), 0x63C0);
  CloseCom(&second);
}

TEST_F(CardSession, WithoutACardFolderEveryProcessHasAFreshCard) {
  skorratest::ScopedEnv in_memory("SKORRA_VCARD_DIR", std::nullopt);
  EXPECT_EQ(RunChild({"2", "select:01", "update:CAFE", kWrongPass}), "9000\n9000\n63C2\n");
  EXPECT_EQ(RunChild({"2", "select:01", "read:2", kWrongPass}), "9000\n9000 0000\n63C2\n");
}

}  // namespace
}  // namespace e2e
