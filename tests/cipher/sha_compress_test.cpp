// Card SHA-1: how each message length is cut into commands (P1, P2, Lc),
// that the pieces are the message in order, and where the digest comes from.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

struct ShaCase {
  const char* name;
  int32_t len;
  std::vector<std::string> headers;
};

class ShaPieces : public BoundDriver, public ::testing::WithParamInterface<ShaCase> {};

// The card answers the n-th command with 24 bytes of value n.
TEST_P(ShaPieces, HeadersPiecesAndDigest) {
  const ShaCase& c = GetParam();
  std::vector<uint8_t> msg(c.len);
  for (std::size_t i = 0; i < msg.size(); ++i) msg[i] = static_cast<uint8_t>(i * 13 + 1);
  for (std::size_t n = 1; n <= c.headers.size(); ++n)
    QueueSw(0x9000, std::vector<uint8_t>(24, static_cast<uint8_t>(n)));
  std::vector<uint8_t> digest(24, 0xEE);

  ASSERT_EQ(SHA_Compress(kReader, msg.data(), c.len, digest.data()), 0x9000);
  std::vector<std::string> headers;
  std::vector<uint8_t> carried;
  for (const Apdu& apdu : Apdus()) {
    headers.push_back(Hex(apdu.frame.data(), 5));
    EXPECT_EQ(apdu.cmd_len, 5 + apdu.frame[4]);
    carried.insert(carried.end(), apdu.frame.begin() + 5, apdu.frame.end());
  }
  EXPECT_EQ(headers, c.headers);
  EXPECT_EQ(Hex(carried), Hex(msg));
  std::vector<uint8_t> expected(20, static_cast<uint8_t>(c.headers.size()));
  expected.insert(expected.end(), 4, 0xEE);
  EXPECT_EQ(Hex(digest), Hex(expected));
}

INSTANTIATE_TEST_SUITE_P(
    Sha, ShaPieces,
    ::testing::Values(
        ShaCase{"empty", 0, {"80 CC 00 00 00"}},
        ShaCase{"longest_single", 138, {"80 CC 00 8A 8A"}},
        ShaCase{"shortest_chain", 139, {"80 CC 3F FF 40", "80 CC BF FF 40", "80 CC 80 8B 0B"}},
        ShaCase{"full_last_piece", 192, {"80 CC 3F FF 40", "80 CC BF FF 40", "80 CC 80 C0 40"}},
        ShaCase{"length_above_255", 300,
                {"80 CC 3F FF 40", "80 CC BF FF 40", "80 CC BF FF 40", "80 CC BF FF 40",
                 "80 CC 81 2C 2C"}}),
    [](const auto& info) { return std::string(info.param.name); });

// One answer buffer serves every piece and is cleared before each: a last
// piece answered without data gives a zero digest, not an earlier piece's.
TEST_F(BoundDriver, ShaDigestOfALastAnswerWithoutDataIsZeros) {
  const std::vector<uint8_t> msg(139, 0x5A);
  QueueSw(0x9000, std::vector<uint8_t>(24, 0x01));
  QueueSw(0x9000, std::vector<uint8_t>(24, 0x02));
  QueueSw(0x9000);
  std::vector<uint8_t> digest(20, 0xEE);
  ASSERT_EQ(SHA_Compress(kReader, msg.data(), 139, digest.data()), 0x9000);
  EXPECT_EQ(Hex(digest), Hex(std::vector<uint8_t>(20, 0x00)));
}

TEST_F(BoundDriver, ShaLongestMessageEndsWithBothLengthBytesFull) {
  const std::vector<uint8_t> msg(32767, 0x61);
  uint8_t digest[20];
  ASSERT_EQ(SHA_Compress(kReader, msg.data(), 32767, digest), 0x9000);
  // 32767 = 64 + 510 * 64 + 63.
  ASSERT_EQ(Apdus().size(), 512u);
  EXPECT_EQ(Hex(Apdus()[510].frame.data(), 5), "80 CC BF FF 40");
  EXPECT_EQ(Hex(Apdus()[511].frame.data(), 5), "80 CC FF FF 3F");
}

struct ShaFailure {
  const char* name;
  int32_t len;
  std::vector<int32_t> answers;
  int32_t result;
  std::size_t commands;
};

class ShaFailures : public BoundDriver, public ::testing::WithParamInterface<ShaFailure> {};

TEST_P(ShaFailures, FirstFailureEndsItAndTheDigestIsUntouched) {
  const ShaFailure& c = GetParam();
  for (int32_t sw : c.answers) QueueSw(sw, std::vector<uint8_t>(20, 0x11));
  const std::vector<uint8_t> msg(40000, 0x61);
  std::vector<uint8_t> digest(20, 0xEE);
  EXPECT_EQ(SHA_Compress(kReader, msg.data(), c.len, digest.data()), c.result);
  EXPECT_EQ(Apdus().size(), c.commands);
  EXPECT_EQ(digest, std::vector<uint8_t>(20, 0xEE));
}

INSTANTIATE_TEST_SUITE_P(
    Sha, ShaFailures,
    ::testing::Values(ShaFailure{"first_piece", 300, {0x6985}, 0x6985, 1},
                      ShaFailure{"last_piece", 139, {0x9000, 0x9000, 0x6A80}, 0x6A80, 3},
                      ShaFailure{"single_command", 20, {0x6D00}, 0x6D00, 1},
                      // Bit 15 would collide with the continuation mark in P1.
                      ShaFailure{"length_32768", 32768, {}, 0x6700, 0},
                      ShaFailure{"negative_length", -1, {}, 0x6700, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
