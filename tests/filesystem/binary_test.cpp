// SELECT FILE and the 128-byte piece transfers of READ BINARY / UPDATE BINARY.
#include <gtest/gtest.h>

#include <numeric>
#include <utility>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

TEST_F(BoundDriver, SelectSendsIdentifier00xxAndLe) {
  EXPECT_EQ(SelectFile(0x02, 0x7777, 0xA0, kReader), 0x9000);
  ASSERT_EQ(Apdus().size(), 1u);
  EXPECT_EQ(Hex(Apdus()[0].frame), "00 A4 02 00 02 00 A0 00");
}

// A recognisable byte for every file offset, so a piece copied to the wrong
// place shows.
uint8_t FileByte(std::size_t offset) { return static_cast<uint8_t>(offset % 251); }

struct TransferCase {
  const char* name;
  bool write;
  uint32_t n;
  std::vector<int32_t> piece_sw;  // one per piece; 0x9000 past the end
  std::size_t frames;
  std::vector<std::pair<std::size_t, std::string>> headers;  // frame index, first five bytes
  int32_t result;
  std::size_t delivered;  // ReadBin: bytes that reach the caller's buffer
};

class Transfer : public BoundDriver, public ::testing::WithParamInterface<TransferCase> {};

TEST_P(Transfer, PiecesAndResult) {
  const TransferCase& c = GetParam();
  SetResponder([&c](const Apdu& apdu) -> std::optional<Answer> {
    const std::size_t index = Apdus().size() - 1;
    const int32_t sw = index < c.piece_sw.size() ? c.piece_sw[index] : 0x9000;
    const std::size_t offset = apdu.frame[2] << 8 | apdu.frame[3];
    std::vector<uint8_t> data(apdu.frame[4]);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = FileByte(offset + i);
    return Answer{sw, c.write ? std::vector<uint8_t>{} : data, {}};
  });
  std::vector<uint8_t> buffer(40000, 0xEE);
  if (c.write) {
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = FileByte(i);
    EXPECT_EQ(UpdateBin(c.n, buffer.data(), kReader), c.result);
  } else {
    EXPECT_EQ(ReadBin(c.n, buffer.data(), kReader), c.result);
  }
  ASSERT_EQ(Apdus().size(), c.frames);
  for (const auto& [index, header] : c.headers) {
    const Apdu& apdu = Apdus()[index];
    EXPECT_EQ(Hex(apdu.frame.data(), 5), header) << "frame " << index;
    const std::size_t expected_len = c.write ? 5u + apdu.frame[4] : 5u;
    EXPECT_EQ(apdu.cmd_len, expected_len) << "frame " << index;
  }
  for (const Apdu& apdu : Apdus()) {
    if (!c.write) continue;
    const std::size_t offset = apdu.frame[2] << 8 | apdu.frame[3];
    EXPECT_EQ(Hex(apdu.frame.data() + 5, apdu.frame[4]), Hex(buffer.data() + offset, apdu.frame[4]));
  }
  if (c.write) return;
  for (std::size_t i = 0; i < 512; ++i) {
    ASSERT_EQ(buffer[i], i < c.delivered ? FileByte(i) : 0xEE) << "buffer byte " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Binary, Transfer,
    ::testing::Values(
        TransferCase{"read_300", false, 300, {}, 3,
                     {{0, "00 B0 00 00 80"}, {1, "00 B0 00 80 80"}, {2, "00 B0 01 00 2C"}}, 0x9000, 300},
        TransferCase{"read_second_piece_refused", false, 300, {0x9000, 0x6982}, 2, {}, 0x6982, 128},
        TransferCase{"read_short_piece_refused", false, 300, {0x9000, 0x9000, 0x6B00}, 3, {}, 0x6B00, 256},
        TransferCase{"read_driver_failure", false, 200, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 4, {}, 0xFFFF, 0},
        TransferCase{"read_nothing", false, 0, {}, 0, {}, 0x9000, 0},
        TransferCase{"read_largest", false, 32768, {}, 256, {{255, "00 B0 7F 80 80"}}, 0x9000, 512},
        TransferCase{"read_past_0x8000_refused", false, 32769, {}, 0, {}, 0x6700, 0},
        TransferCase{"write_128", true, 128, {}, 1, {{0, "00 D6 00 00 80"}}, 0x9000, 0},
        TransferCase{"write_1", true, 1, {}, 1, {{0, "00 D6 00 00 01"}}, 0x9000, 0},
        TransferCase{"write_135", true, 135, {}, 2, {{0, "00 D6 00 00 80"}, {1, "00 D6 00 80 07"}}, 0x9000, 0},
        TransferCase{"write_second_piece_refused", true, 400, {0x9000, 0x6581}, 2, {}, 0x6581, 0},
        TransferCase{"write_nothing", true, 0, {}, 0, {}, 0x9000, 0},
        TransferCase{"write_past_0x8000_refused", true, 0x10000, {}, 0, {}, 0x6700, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
