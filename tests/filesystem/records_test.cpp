// Record commands: frames (P2 from the short file identifier, one-byte
// lengths) and what ReadRecord leaves in the caller's buffer.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kRecord = [] {
  std::vector<uint8_t> bytes(256);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(0xA0 + i);
  return bytes;
}();

// A length as a C caller holds it in an int; only its low byte arrives.
int CallerLength(int n) { return n; }

struct RecordFrameCase {
  const char* name;
  std::function<int32_t()> call;
  std::string header;  // "" when nothing may be sent
  int32_t result;
};

class RecordFrames : public BoundDriver, public ::testing::WithParamInterface<RecordFrameCase> {};

TEST_P(RecordFrames, FrameAndResult) {
  const RecordFrameCase& c = GetParam();
  EXPECT_EQ(c.call(), c.result);
  if (c.header.empty()) {
    EXPECT_TRUE(Apdus().empty());
    return;
  }
  ASSERT_EQ(Apdus().size(), 1u);
  const Apdu& apdu = Apdus()[0];
  EXPECT_EQ(Hex(apdu.frame.data(), 5), c.header);
  const bool carries_data = apdu.frame[1] != 0xB2;
  const std::size_t data_len = carries_data ? apdu.frame[4] : 0;
  EXPECT_EQ(apdu.cmd_len, 5 + data_len);
  EXPECT_EQ(Hex(apdu.frame.data() + 5, data_len), Hex(kRecord.data(), data_len));
}

uint8_t scratch[256];

INSTANTIATE_TEST_SUITE_P(
    Records, RecordFrames,
    ::testing::Values(
        RecordFrameCase{"append_sfi0_empty", [] { return AppendRecord(0, 0, kRecord.data(), kReader); },
                        "00 E2 00 00 00", 0x9000},
        RecordFrameCase{"append_sfi33_like_sfi1", [] { return AppendRecord(33, 2, kRecord.data(), kReader); },
                        "00 E2 00 08 02", 0x9000},
        RecordFrameCase{"append_length_261_is_5",
                        [] { return AppendRecord(2, CallerLength(261), kRecord.data(), kReader); }, "00 E2 00 10 05",
                        0x9000},
        RecordFrameCase{"append_250", [] { return AppendRecord(1, 250, kRecord.data(), kReader); },
                        "00 E2 00 08 FA", 0x9000},
        RecordFrameCase{"append_251_refused", [] { return AppendRecord(1, 251, kRecord.data(), kReader); }, "",
                        0x6700},
        RecordFrameCase{"write_sfi1", [] { return WriteRecord(1, 2, 3, kRecord.data(), kReader); },
                        "00 DC 02 0C 03", 0x9000},
        RecordFrameCase{"write_sfi0", [] { return WriteRecord(0, 7, 1, kRecord.data(), kReader); },
                        "00 DC 07 04 01", 0x9000},
        RecordFrameCase{"write_sfi33_like_sfi1", [] { return WriteRecord(33, 1, 1, kRecord.data(), kReader); },
                        "00 DC 01 0C 01", 0x9000},
        RecordFrameCase{"write_length_261_is_5",
                        [] { return WriteRecord(1, 1, CallerLength(261), kRecord.data(), kReader); }, "00 DC 01 0C 05",
                        0x9000},
        RecordFrameCase{"write_255_refused", [] { return WriteRecord(1, 1, 255, kRecord.data(), kReader); }, "",
                        0x6700},
        RecordFrameCase{"read_sfi5", [] { return ReadRecord(5, 3, 16, scratch, kReader); }, "00 B2 03 2C 10",
                        0x9000},
        RecordFrameCase{"read_sfi0", [] { return ReadRecord(0, 1, 4, scratch, kReader); }, "00 B2 01 04 04",
                        0x9000},
        RecordFrameCase{"read_sfi33_like_sfi1", [] { return ReadRecord(33, 1, 4, scratch, kReader); },
                        "00 B2 01 0C 04", 0x9000}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadCase {
  const char* name;
  uint8_t le;
  std::vector<Answer> answers;
  int32_t result;
  std::string buffer;  // all eight bytes after the call; it starts as EE
};

class ReadInto : public BoundDriver, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadInto, Buffer) {
  for (const Answer& a : GetParam().answers) Queue(a);
  std::vector<uint8_t> out(8, 0xEE);
  EXPECT_EQ(ReadRecord(1, 1, GetParam().le, out.data(), kReader), GetParam().result);
  EXPECT_EQ(Hex(out), GetParam().buffer);
}

const Answer kFull{0x9000, {1, 2, 3, 4}, {}};

INSTANTIATE_TEST_SUITE_P(
    Records, ReadInto,
    ::testing::Values(
        ReadCase{"full_answer", 4, {kFull}, 0x9000, "01 02 03 04 EE EE EE EE"},
        ReadCase{"short_answer_zero_filled", 4, {{0x9000, {1, 2}, {}}}, 0x9000, "01 02 00 00 EE EE EE EE"},
        ReadCase{"length_byte_ignored", 3, {{0x9000, {1, 2, 3, 4}, 1}}, 0x9000, "01 02 03 EE EE EE EE EE"},
        ReadCase{"le_0_copies_nothing", 0, {kFull}, 0x9000, "EE EE EE EE EE EE EE EE"},
        ReadCase{"refused_leaves_buffer", 4, {{0x6A83, {1, 2, 3, 4}, {}}}, 0x6A83, "EE EE EE EE EE EE EE EE"},
        ReadCase{"driver_failure_leaves_buffer", 4, {{0xFFFF, {1}, {}}, {0xFFFF, {}, {}}, {0xFFFF, {}, {}},
                                                     {0xFFFF, {}, {}}},
                 0xFFFF, "EE EE EE EE EE EE EE EE"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
