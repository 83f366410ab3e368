// Files through the library: selection, transparent files across their
// whole size and past their end, records by number and by SFI.
#include "card_session.h"

namespace e2e {
namespace {

TEST_F(CardSession, SelectingAMissingFileAnswersNotFound) {
  EXPECT_EQ(SelectFile(0x00, 0, 0x77, reader_), 0x6A82);
  EXPECT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
}

TEST_F(CardSession, WholeDataFileRoundTrip) {
  const std::vector<uint8_t> data = Pattern(32768, 0x3C);
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
  ASSERT_EQ(UpdateBin(static_cast<uint32_t>(data.size()), data.data(), reader_), 0x9000);
  std::vector<uint8_t> back(data.size(), 0xEE);
  ASSERT_EQ(ReadBin(static_cast<uint32_t>(back.size()), back.data(), reader_), 0x9000);
  EXPECT_TRUE(back == data);
}

class TransparentLengths : public CardSession, public ::testing::WithParamInterface<uint32_t> {};

// Pieces of 128 bytes and a short last one land where they belong.
TEST_P(TransparentLengths, ReadBackWhatWasWritten) {
  const uint32_t n = GetParam();
  const std::vector<uint8_t> data = Pattern(n, static_cast<uint8_t>(n));
  ASSERT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x9000);
  ASSERT_EQ(UpdateBin(n, data.data(), reader_), 0x9000);
  std::vector<uint8_t> back(n + 1, 0xEE);
  ASSERT_EQ(ReadBin(n + 1, back.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(std::vector<uint8_t>(back.begin(), back.end() - 1)), Hex(data));
  EXPECT_EQ(back[n], 0x00) << "the byte after the written ones is still the fresh file's";
}

INSTANTIATE_TEST_SUITE_P(Lengths, TransparentLengths, ::testing::Values(1u, 127u, 128u, 129u, 300u, 1000u));

// EF 0010 holds 256 bytes: a transfer whose last piece starts at its end
// stops there, with the pieces before it done.
TEST_F(CardSession, TransferPastTheEndStopsAtTheEnd) {
  ASSERT_EQ(SelectFile(0x00, 0, 0x10, reader_), 0x9000);
  const std::vector<uint8_t> data = Pattern(300, 0x01);
  EXPECT_EQ(UpdateBin(300, data.data(), reader_), 0x6B00);
  std::vector<uint8_t> back(300, 0xEE);
  EXPECT_EQ(ReadBin(300, back.data(), reader_), 0x6B00);
  EXPECT_TRUE(std::equal(back.begin(), back.begin() + 256, data.begin()));
  EXPECT_EQ(back[256], 0xEE);
  EXPECT_EQ(ReadBin(256, back.data(), reader_), 0x9000);
}

TEST_F(CardSession, RecordsByNumberAndBySfi) {
  const std::vector<std::vector<uint8_t>> records = {Bytes("01"), Pattern(195, 0x20), Bytes("CA FE")};
  for (const auto& r : records)
    ASSERT_EQ(AppendRecord(2, static_cast<uint8_t>(r.size()), r.data(), reader_), 0x9000);
  for (std::size_t i = 0; i < records.size(); ++i) {
    std::vector<uint8_t> got(records[i].size());
    ASSERT_EQ(ReadRecord(2, static_cast<uint8_t>(i + 1), static_cast<uint8_t>(got.size()), got.data(), reader_),
              0x9000);
    EXPECT_EQ(Hex(got), Hex(records[i])) << "record " << i + 1;
  }
  const std::vector<uint8_t> rewritten = Bytes("11 22 33 44");
  ASSERT_EQ(WriteRecord(2, 3, 4, rewritten.data(), reader_), 0x9000);
  std::vector<uint8_t> got(4);
  ASSERT_EQ(ReadRecord(2, 3, 4, got.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(got), "11 22 33 44");

  std::vector<uint8_t> untouched(4, 0xEE);
  EXPECT_EQ(ReadRecord(2, 4, 4, untouched.data(), reader_), 0x6A83);
  EXPECT_EQ(Hex(untouched), "EE EE EE EE");
}

// SFI 0 names the current file.
TEST_F(CardSession, SfiZeroIsTheSelectedFile) {
  ASSERT_EQ(SelectFile(0x00, 0, 0x02, reader_), 0x9000);
  const std::vector<uint8_t> record = Bytes("AB CD EF");
  ASSERT_EQ(AppendRecord(0, 3, record.data(), reader_), 0x9000);
  std::vector<uint8_t> got(3);
  ASSERT_EQ(ReadRecord(2, 1, 3, got.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(got), "AB CD EF");
  ASSERT_EQ(ReadRecord(0, 1, 3, got.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(got), "AB CD EF");
}

struct NewFile {
  const char* name;
  const char* description;  // the 7-byte description, hex
};

class CreatedFiles : public CardSession, public ::testing::WithParamInterface<NewFile> {};

// A created file is current at once and behaves as its description says.
TEST_P(CreatedFiles, AreUsableAtOnce) {
  const std::vector<uint8_t> description = Bytes(GetParam().description);
  ASSERT_EQ(Createfile(0x40, 7, description.data(), reader_), 0x9000);
  const std::vector<uint8_t> data = Pattern(10, 0x0F);
  std::vector<uint8_t> back(10);
  if (description[0] == 0x01) {
    ASSERT_EQ(UpdateBin(10, data.data(), reader_), 0x9000);
    ASSERT_EQ(ReadBin(10, back.data(), reader_), 0x9000);
  } else {
    ASSERT_EQ(AppendRecord(description[5], 10, data.data(), reader_), 0x9000);
    ASSERT_EQ(ReadRecord(description[5], 1, 10, back.data(), reader_), 0x9000);
    const std::vector<uint8_t> too_long = Pattern(11, 0);
    EXPECT_EQ(AppendRecord(description[5], 11, too_long.data(), reader_), 0x6700) << "longer than its records";
  }
  EXPECT_EQ(Hex(back), Hex(data));
  EXPECT_EQ(Createfile(0x40, 7, description.data(), reader_), 0x6A89) << "the identifier is taken";
  EXPECT_EQ(SelectFile(0x00, 0, 0x40, reader_), 0x9000);
}

INSTANTIATE_TEST_SUITE_P(Kinds, CreatedFiles,
                         ::testing::Values(NewFile{"transparent", "01 00 40 00 00 00 00"},
                                           NewFile{"records", "04 05 0A 00 00 07 00"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CardSession, FileDescriptionsOutsideTheLayoutAreRefused) {
  for (const char* description : {"07 00 40 00 00 00 00", "01 00 00 00 00 00 00", "01 00 40 33 00 00 00",
                                  "04 05 0A 00 00 1F 00"}) {
    const std::vector<uint8_t> bytes = Bytes(description);
    EXPECT_EQ(Createfile(0x41, 7, bytes.data(), reader_), 0x6A80) << description;
  }
  const std::vector<uint8_t> good = Bytes("01 00 40 00 00 00 00");
  EXPECT_EQ(Createfile(0x41, 6, good.data(), reader_), 0x6700) << "the length byte disagrees with the 7 bytes";
}

// Erasing the master file's contents takes time: the card answers busy,
// the library polls until it is ready and sends the erase again.
TEST_F(CardSession, ErasingWaitsOutTheBusyCardAndEmptiesTheMasterFile) {
  EXPECT_EQ(EraseDF(reader_), 0x6982) << "erasing the master file needs passphrase 01";
  ASSERT_EQ(VerifyPassphrase(kPassphrase01.data(), 8, 0x01, reader_), 0x9000);
  ASSERT_EQ(EraseDF(reader_), 0x9000);

  const std::vector<std::string> expected = {
      "COM1 > 80 0E 00 00 00", "COM1 < 6FF0 (card busy)",
      "COM1 > 00 00 00 00 00", "COM1 < 6FF0 (card busy)",
      "COM1 > 00 00 00 00 00", "COM1 < 6FF0 (card busy)",
      "COM1 > 00 00 00 00 00", "COM1 < 6FF0 (card busy)",
      "COM1 > 00 00 00 00 00", "COM1 < 6D00 (instruction not supported)",
      "COM1 > 80 0E 00 00 00", "COM1 < 9000 (command completed)"};
  const std::vector<std::string> lines = TraceLines();
  ASSERT_GT(lines.size(), expected.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<std::ptrdiff_t>(expected.size()), lines.end()),
            expected);

  EXPECT_EQ(SelectFile(0x00, 0, 0x01, reader_), 0x6A82);
  EXPECT_EQ(SelectFile(0x00, 0, 0x10, reader_), 0x6A82);

  // The empty master file takes a new description and new files.
  ASSERT_EQ(CreateMFfile(0x00, 0x00, reader_), 0x9000);
  const std::vector<uint8_t> description = Bytes("01 00 10 00 00 00 00");
  EXPECT_EQ(Createfile(0x01, 7, description.data(), reader_), 0x9000);
}

}  // namespace
}  // namespace e2e
