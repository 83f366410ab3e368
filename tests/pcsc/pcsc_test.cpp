// What only the PC/SC path has: a card pulled out of the reader and put
// back, reader choice by name, and the exchanges the driver adds for a card
// that answers as a T=0 card, as they show in the trace.
#include <algorithm>
#include <sstream>

#include "card_session.h"
#include "served_card.h"

namespace e2e {
namespace {

// The session's card is pulled out mid-session and put back: the same card
// folder served again, as the same card in the reader.
TEST_F(CardSession, CardPulledOutAndPutBack) {
  const std::vector<uint8_t> data = Bytes("CA FE BA BE");
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
  ASSERT_EQ(UpdateBin(4, data.data(), reader_), 0x9000);

  ASSERT_TRUE(pcsctest::SessionCard().PullOut());
  std::vector<uint8_t> back(4, 0xEE);
  EXPECT_EQ(ReadBin(4, back.data(), reader_), 0xFFFF) << "the library's retries all fail";
  EXPECT_EQ(Hex(back), "EE EE EE EE") << "a failed exchange delivers nothing";
  EXPECT_EQ(CloseCom(&reader_), 0);
  EXPECT_EQ(OpenCom(1, &reader_), 1) << "no card in the reader";

  ASSERT_TRUE(pcsctest::SessionCard().Insert());
  ASSERT_EQ(OpenCom(1, &reader_), 0);
  ASSERT_EQ(ResetICC(static_cast<int32_t>(reader_), 0, 0), 0);
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
  ASSERT_EQ(ReadBin(4, back.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(back), "CA FE BA BE");
}

TEST_F(CardSession, ReaderChoiceByName) {
  ASSERT_EQ(CloseCom(&reader_), 0);
  testos::SetVariable("SKORRA_PCSC_READER", "no reader has this name");
  EXPECT_EQ(OpenCom(1, &reader_), 1);
  // vpcd has two slots; without a name, COM1 and COM2 are the first two
  // readers listed and COM4 is none.
  testos::SetVariable("SKORRA_PCSC_READER", std::nullopt);
  tw_handle_t fourth = 0;
  EXPECT_EQ(OpenCom(4, &fourth), 1);
  // The serial driver, told to, takes the PC/SC path too.
  FreeLib();
  testos::SetVariable("SKORRA_BACKEND", "pcsc");
  testos::SetVariable("SKORRA_PCSC_READER", pcsctest::kTestReader);
  ASSERT_EQ(InitialLib(1), 1);
  ASSERT_EQ(OpenCom(1, &reader_), 0);
  EXPECT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
}

// A card that answers as a T=0 card: the trace keeps the driver's own
// exchanges, marked, between the application's command and its answer.
class T0Card : public ::testing::Test {
 protected:
  void SetUp() override {
    testos::SetVariable("SKORRA_BACKEND", std::nullopt);
    testos::SetVariable("SKORRA_PCSC_READER", pcsctest::kTestReader);
    ASSERT_TRUE(card_.Insert({"--t0"}));
    ASSERT_EQ(InitialLib(2), 1);
    ASSERT_EQ(OpenCom(1, &reader_), 0);
    ASSERT_EQ(ResetICC(static_cast<int32_t>(reader_), 0, 0), 0);
  }
  void TearDown() override {
    if (reader_ != 0) CloseCom(&reader_);
    FreeLib();
  }
  std::vector<std::string> Trace() const {
    std::vector<std::string> lines;
    std::istringstream in(skorratest::ReadFile(folder_.path() / "trace.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The lines from the first that equals `first`, `count` of them.
  std::vector<std::string> From(const std::string& first, std::size_t count) const {
    const std::vector<std::string> lines = Trace();
    const auto at = std::find(lines.begin(), lines.end(), first);
    const auto end = lines.end() - at < static_cast<std::ptrdiff_t>(count) ? lines.end() : at + static_cast<std::ptrdiff_t>(count);
    return {at, end};
  }

  skorratest::TempFolder folder_;
  skorratest::ScopedEnv cards_{"SKORRA_VCARD_DIR", (folder_.path() / "cards").string()};
  skorratest::ScopedEnv trace_{"SKORRA_TRACE", (folder_.path() / "trace.txt").string()};
  skorratest::ScopedEnv secrets_{"SKORRA_TRACE_SECRETS", std::nullopt};
  pcsctest::ServedCard card_;
  tw_handle_t reader_ = 0;
};

TEST_F(T0Card, AnswerAfterDataComesByGetResponse) {
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
  EXPECT_EQ(From("COM1 > 00 A4 00 00 02 00 01 00", 4),
            (std::vector<std::string>{
                "COM1 > 00 A4 00 00 02 00 01 00",
                "COM1 > 00 C0 00 00 0D [driver]",
                "COM1 < 62 0B 82 01 01 83 02 00 01 80 02 80 00 | 9000 (command completed) [driver]",
                "COM1 < 62 0B 82 01 01 83 02 00 01 80 02 80 00 | 9000 (command completed)"}));
}

// Record 1 of EF 0002 holds three bytes: asked for eight, the card answers
// 6C03 and the driver asks again for three; the card's warning that the
// record was shorter than asked (0x6282) reaches the library as it would
// from any card.
TEST_F(T0Card, WrongLengthIsAskedAgain) {
  const std::vector<uint8_t> record = Bytes("AB CD EF");
  ASSERT_EQ(AppendRecord(2, 3, record.data(), reader_), 0x9000);
  std::vector<uint8_t> got(8, 0xEE);
  EXPECT_EQ(ReadRecord(2, 1, 8, got.data(), reader_), 0x6282);
  const std::vector<std::string> lines = From("COM1 > 00 B2 01 14 08", 4);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], "COM1 > 00 B2 01 14 03 [driver]");
  EXPECT_TRUE(lines[2].starts_with("COM1 < AB CD EF | 6282 ") && lines[2].ends_with(" [driver]")) << lines[2];
  EXPECT_TRUE(lines[3].starts_with("COM1 < AB CD EF | 6282 ")) << lines[3];
  ASSERT_EQ(ReadRecord(2, 1, 3, got.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(got).substr(0, 8), "AB CD EF");
}

// A key pair kept in no slot hands out its private values, each fetched
// again for its right length: the driver's answer lines hide them as the
// application's do.
TEST_F(T0Card, DriverLinesHideSecretsToo) {
  std::vector<uint8_t> parts(1000);
  uint32_t length = 0;
  ASSERT_EQ(OfflineRsaGenerateKeyPair(0, parts.data(), &length, reader_), 0x9000);
  ASSERT_GE(length, 64u);
  const std::string private_bytes = Hex(std::vector<uint8_t>(parts.begin() + 8, parts.begin() + 24));
  std::size_t hidden_by_driver = 0;
  for (const std::string& line : Trace()) {
    EXPECT_EQ(line.find(private_bytes), std::string::npos) << line;
    if (line.starts_with("COM1 < ** ** ") && line.ends_with(" [driver]")) ++hidden_by_driver;
  }
  EXPECT_GE(hidden_by_driver, 5u);
}

}  // namespace
}  // namespace e2e
