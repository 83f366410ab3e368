// The block cipher's key command (P1/P2 by mode, the data length's low byte,
// the caller's own answer buffers) and its chaining with the cipher command.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

// Key-command data: 0xC0, 0xC1, ... (room for every length a byte can carry).
std::vector<uint8_t> KeyData() {
  std::vector<uint8_t> data(256);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(0xC0 + i);
  return data;
}

struct GenMkCase {
  const char* name;
  int32_t mode;
  int32_t len;
  int32_t p2;
  int32_t result;
  std::string header;  // "" when nothing may be sent
  uint8_t cmd_len;
};

class KeyCommand : public BoundDriver, public ::testing::WithParamInterface<GenMkCase> {};

TEST_P(KeyCommand, HeaderLengthAndResult) {
  const GenMkCase& c = GetParam();
  const std::vector<uint8_t> data = KeyData();
  uint8_t rsp[256];
  uint8_t rsp_len = 0;
  EXPECT_EQ(Cdea_GenMK(kReader, c.mode, data.data(), c.len, rsp, &rsp_len, c.p2), c.result);
  if (c.header.empty()) {
    EXPECT_TRUE(Apdus().empty());
    return;
  }
  ASSERT_EQ(Apdus().size(), 1u);
  const Apdu& apdu = Apdus()[0];
  EXPECT_EQ(apdu.cmd_len, c.cmd_len);
  EXPECT_EQ(Hex(apdu.frame.data(), 5), c.header);
  EXPECT_EQ(Hex(apdu.frame.data() + 5, apdu.frame.size() - 5), Hex(data.data(), c.cmd_len - 5u));
}

INSTANTIATE_TEST_SUITE_P(
    Cdea, KeyCommand,
    ::testing::Values(GenMkCase{"mode0_ignores_p2", 0, 16, 0x55, 0x9000, "80 CE 20 00 10", 21},
                      GenMkCase{"mode1_takes_p2", 1, 16, 0x55, 0x9000, "80 CE 60 55 10", 21},
                      GenMkCase{"mode_low_byte", 0x101, 16, 0x1AA, 0x9000, "80 CE 60 AA 10", 21},
                      GenMkCase{"mode_256_is_mode0", 0x100, 3, 0x55, 0x9000, "80 CE 20 00 03", 8},
                      GenMkCase{"mode2_refused", 2, 16, 0, -1, "", 0},
                      GenMkCase{"mode_minus1_refused", -1, 16, 0, -1, "", 0},
                      GenMkCase{"no_data", 0, 0, 0, 0x9000, "80 CE 20 00 00", 5},
                      GenMkCase{"length_low_byte", 0, 0x110, 0, 0x9000, "80 CE 20 00 10", 21},
                      GenMkCase{"longest", 1, 250, 7, 0x9000, "80 CE 60 07 FA", 255},
                      GenMkCase{"251_refused", 0, 251, 0, 0x6700, "", 0},
                      GenMkCase{"low_byte_251_refused", 0, 0x1FB, 0, 0x6700, "", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoundDriver, KeyCommandAnswersIntoTheCallersBuffersUncleared) {
  std::vector<uint8_t> rsp(256, 0x77);
  uint8_t rsp_len = 0x99;
  QueueSw(0x9000, Bytes("01 02 03"));
  const std::vector<uint8_t> data = KeyData();
  ASSERT_EQ(Cdea_GenMK(kReader, 0, data.data(), 16, rsp.data(), &rsp_len, 0), 0x9000);
  ASSERT_EQ(Apdus().size(), 1u);
  EXPECT_EQ(Apdus()[0].rsp_ptr, rsp.data());
  EXPECT_EQ(Apdus()[0].rsp_len_before, 0x99);
  EXPECT_EQ(Apdus()[0].rsp_before, std::vector<uint8_t>(256, 0x77));
  EXPECT_EQ(rsp_len, 3);
  EXPECT_EQ(Hex(rsp.data(), 4), "01 02 03 77");
}

// Cdea_InMK and Cdea_OutMK under one signature: key-command data of 16
// bytes, the mode, P2 (always 0 for Cdea_OutMK) and the cipher input.
using Chained =
    std::function<int32_t(int32_t mode, int32_t p2, const uint8_t*, int32_t, uint8_t*, int32_t*)>;
const Chained kInMk = [](int32_t mode, int32_t p2, const uint8_t* in, int32_t n, uint8_t* out,
                         int32_t* count) {
  uint8_t rsp[256];
  uint8_t rsp_len = 0;
  return Cdea_InMK(kReader, KeyData().data(), 16, mode, in, n, rsp, &rsp_len, out, count, p2);
};
const Chained kOutMk = [](int32_t mode, int32_t, const uint8_t* in, int32_t n, uint8_t* out,
                          int32_t* count) {
  return Cdea_OutMK(kReader, KeyData().data(), mode, in, n, out, count);
};

struct ChainCase {
  const char* name;
  Chained op;
  int32_t mode;
  int32_t p2;
  int32_t len;
  std::vector<int32_t> answers;  // after which the card answers 0x9000
  std::vector<std::string> headers;
  int32_t result;
  int32_t count;  // -7: left as it was
};

class Chaining : public BoundDriver, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(Chaining, KeyCommandThenCipherCommand) {
  const ChainCase& c = GetParam();
  for (int32_t sw : c.answers) QueueSw(sw);
  const std::vector<uint8_t> in(32, 0x42);
  std::vector<uint8_t> out(32);
  int32_t count = -7;
  EXPECT_EQ(c.op(c.mode, c.p2, in.data(), c.len, out.data(), &count), c.result);
  EXPECT_EQ(count, c.count);
  std::vector<std::string> headers;
  for (const Apdu& apdu : Apdus()) headers.push_back(Hex(apdu.frame.data(), 5));
  EXPECT_EQ(headers, c.headers);
}

INSTANTIATE_TEST_SUITE_P(
    Cdea, Chaining,
    ::testing::Values(
        ChainCase{"in_mode0_sends_p2_0", kInMk, 0, 0x55, 32, {},
                  {"80 CE 20 00 10", "80 FA 00 00 10", "80 FA 00 00 10"}, 0x9000, 32},
        ChainCase{"in_mode1_sends_p2", kInMk, 1, 0x55, 17, {},
                  {"80 CE 60 55 10", "80 FA 00 00 10", "80 FA 00 00 10"}, 0x9000, 32},
        ChainCase{"in_key_command_refused", kInMk, 1, 0x55, 32, {0x6985},
                  {"80 CE 60 55 10"}, 0x6985, -7},
        ChainCase{"in_bad_mode", kInMk, 2, 0, 32, {}, {}, -1, -7},
        ChainCase{"in_cipher_refused", kInMk, 0, 0, 32, {0x9000, 0x9000, 0x6A80},
                  {"80 CE 20 00 10", "80 FA 00 00 10", "80 FA 00 00 10"}, 0x6A80, 16},
        ChainCase{"out_mode1_sends_p2_0", kOutMk, 1, 0, 16, {},
                  {"80 CE 60 00 10", "80 FA 00 00 10"}, 0x9000, 16},
        ChainCase{"out_key_command_refused", kOutMk, 0, 0, 16, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
                  {"80 CE 20 00 10", "80 CE 20 00 10", "80 CE 20 00 10", "80 CE 20 00 10"},
                  0xFFFF, -7},
        ChainCase{"out_bad_mode", kOutMk, 7, 0, 16, {}, {}, -1, -7},
        ChainCase{"out_nothing_to_cipher", kOutMk, 0, 0, 0, {}, {"80 CE 20 00 10"}, 0x9000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoundDriver, InMkHandsItsAnswerBuffersToTheKeyCommand) {
  std::vector<uint8_t> rsp(256, 0x77);
  uint8_t rsp_len = 0x99;
  QueueSw(0x9000, Bytes("0A 0B"));
  const std::vector<uint8_t> data = KeyData();
  const std::vector<uint8_t> in(16, 0x42);
  std::vector<uint8_t> out(16);
  int32_t count = 0;
  ASSERT_EQ(Cdea_InMK(kReader, data.data(), 16, 0, in.data(), 16, rsp.data(), &rsp_len, out.data(),
                      &count, 0),
            0x9000);
  EXPECT_EQ(Apdus().at(0).rsp_ptr, rsp.data());
  EXPECT_EQ(Apdus().at(0).rsp_len_before, 0x99);
  EXPECT_EQ(Hex(rsp.data(), 3), "0A 0B 77");
  EXPECT_EQ(rsp_len, 2);
}

}  // namespace
}  // namespace twtest
