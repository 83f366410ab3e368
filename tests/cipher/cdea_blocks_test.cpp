// The card block cipher over a buffer: the frames each length produces, the
// zero-filled last block, partial output after a refused block, and the
// results when there is nothing to cipher.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kKey = Bytes("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
const std::string kKeyLoad = "80 F4 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF";

// The three buffer operations under one signature; the key is ignored by
// the cipher command, which runs under the key the card already holds.
using BufferOp = std::function<int32_t(const uint8_t*, int32_t, uint8_t*, int32_t*)>;
const BufferOp kEncrypt = [](const uint8_t* in, int32_t n, uint8_t* out, int32_t* count) {
  return Cdea_Encrypt(kReader, kKey.data(), in, n, out, count);
};
const BufferOp kDecrypt = [](const uint8_t* in, int32_t n, uint8_t* out, int32_t* count) {
  return Cdea_Decrypt(kReader, kKey.data(), in, n, out, count);
};
const BufferOp kCommand = [](const uint8_t* in, int32_t n, uint8_t* out, int32_t* count) {
  return Cdea_Command(kReader, in, n, out, count);
};

// The input buffer: 0x10, 0x11, ... so that each block reads off its offset.
std::vector<uint8_t> Input(std::size_t n) {
  std::vector<uint8_t> in(n);
  for (std::size_t i = 0; i < n; ++i) in[i] = static_cast<uint8_t>(0x10 + i);
  return in;
}

// The card answers each block inverted, with four bytes more than a block.
void CardInvertsBlocks() {
  SetResponder([](const Apdu& apdu) -> std::optional<Answer> {
    std::vector<uint8_t> data(apdu.frame.begin() + 5, apdu.frame.end());
    for (auto& byte : data) byte = static_cast<uint8_t>(~byte);
    data.insert(data.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    return Answer{0x9000, data, {}};
  });
}

struct BlockCase {
  const char* name;
  BufferOp op;
  int32_t len;
  std::size_t buffer;  // what the caller's input holds: exactly what is read
  std::vector<std::string> frames;
};

class BufferOperations : public BoundDriver, public ::testing::WithParamInterface<BlockCase> {};

TEST_P(BufferOperations, FramesOutputAndUntouchedInput) {
  const BlockCase& c = GetParam();
  const std::vector<uint8_t> original = Input(c.buffer);
  std::vector<uint8_t> in = original;
  std::vector<uint8_t> out(64, 0xEE);
  int32_t count = -7;
  CardInvertsBlocks();

  EXPECT_EQ(c.op(in.data(), c.len, out.data(), &count), 0x9000);
  std::vector<std::string> sent;
  for (const Apdu& apdu : Apdus()) sent.push_back(Hex(apdu.frame));
  EXPECT_EQ(sent, c.frames);
  EXPECT_EQ(in, original) << "the caller's input is never written";

  // Each block's answer lands at the block's offset; nothing after them.
  std::vector<uint8_t> expected(64, 0xEE);
  int32_t offset = 0;
  for (const Apdu& apdu : Apdus()) {
    if (apdu.frame[1] == 0xF4) continue;  // the key load's answer is no output
    for (int i = 0; i < 16; ++i) expected[offset++] = static_cast<uint8_t>(~apdu.frame[5 + i]);
  }
  EXPECT_EQ(count, offset);
  EXPECT_EQ(Hex(out), Hex(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cdea, BufferOperations,
    ::testing::Values(
        BlockCase{"encrypt_16", kEncrypt, 16, 16,
                  {kKeyLoad, "80 F0 00 00 10 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F"}},
        BlockCase{"encrypt_17_zero_fills_in_a_copy", kEncrypt, 17, 17,
                  {kKeyLoad, "80 F0 00 00 10 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F",
                   "80 F0 00 00 10 20 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"}},
        BlockCase{"encrypt_32_no_fill", kEncrypt, 32, 32,
                  {kKeyLoad, "80 F0 00 00 10 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F",
                   "80 F0 00 00 10 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F"}},
        BlockCase{"decrypt_20_reads_whole_blocks", kDecrypt, 20, 32,
                  {kKeyLoad, "80 F2 00 00 10 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F",
                   "80 F2 00 00 10 20 21 22 23 24 25 26 27 28 29 2A 2B 2C 2D 2E 2F"}},
        BlockCase{"command_16", kCommand, 16, 16,
                  {"80 FA 00 00 10 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F"}},
        BlockCase{"command_20_zero_fills_in_a_copy", kCommand, 20, 20,
                  {"80 FA 00 00 10 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F",
                   "80 FA 00 00 10 20 21 22 23 00 00 00 00 00 00 00 00 00 00 00 00"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* name;
  BufferOp op;
  std::vector<int32_t> answers;  // after which the card answers 0x9000
  int32_t len;
  int32_t result;
  int32_t count;
  std::size_t commands;
};

class Refusals : public BoundDriver, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(Refusals, ResultCountAndCommandsSent) {
  const RefusalCase& c = GetParam();
  for (int32_t sw : c.answers) QueueSw(sw, std::vector<uint8_t>(16, 0x5A));
  SetDefault({0x9000, std::vector<uint8_t>(16, 0x5A), {}});
  const std::vector<uint8_t> in = Input(48);
  std::vector<uint8_t> out(48, 0xEE);
  int32_t count = -7;
  EXPECT_EQ(c.op(in.data(), c.len, out.data(), &count), c.result);
  EXPECT_EQ(count, c.count);
  EXPECT_EQ(Apdus().size(), c.commands);
  for (int i = 0; i < 48; ++i) EXPECT_EQ(out[i], i < c.count ? 0x5A : 0xEE) << "byte " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cdea, Refusals,
    ::testing::Values(
        // Key load, then the second of three blocks is refused.
        RefusalCase{"encrypt_second_of_three", kEncrypt, {0x9000, 0x9000, 0x6A80}, 48, 0x6A80, 16,
                    3},
        RefusalCase{"decrypt_second_of_three", kDecrypt, {0x9000, 0x9000, 0x6A80}, 48, 0x6A80, 16,
                    3},
        RefusalCase{"command_second_of_three", kCommand, {0x9000, 0x6A80}, 48, 0x6A80, 16, 2},
        // A refused key load is not reported by itself: the blocks still go.
        RefusalCase{"encrypt_after_refused_key", kEncrypt, {0x6A88}, 16, 0x9000, 16, 2},
        // Nothing to cipher: only the key load, whose status is the result.
        RefusalCase{"encrypt_zero_length", kEncrypt, {0x6A88}, 0, 0x6A88, 0, 1},
        RefusalCase{"decrypt_negative_length", kDecrypt, {0x9000}, -16, 0x9000, 0, 1},
        RefusalCase{"command_zero_length", kCommand, {}, 0, 0x9000, 0, 0},
        RefusalCase{"command_negative_length", kCommand, {}, -1, 0x9000, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
