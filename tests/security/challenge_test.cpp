// GET CHALLENGE in pieces of at most 16 bytes: the Le of every piece, where
// each piece's bytes land, a refused piece, and a card that answers short.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

constexpr uint8_t kGuard = 0xEE;

// Answers each piece with the next Le bytes of 01 02 03 ...; Le 00 gets 16
// bytes, which must not be copied.
void AnswerWithCountingBytes() {
  SetResponder([next = 1](const Apdu& apdu) mutable -> std::optional<Answer> {
    const std::size_t le = apdu.frame[4] ? apdu.frame[4] : 16;
    Answer a;
    for (std::size_t i = 0; i < le; ++i) a.data.push_back(static_cast<uint8_t>(next++));
    return a;
  });
}

struct PieceCase {
  uint32_t n;
  std::vector<uint8_t> les;
};

class Pieces : public BoundDriver, public ::testing::WithParamInterface<PieceCase> {};

TEST_P(Pieces, LeOfEachPieceAndBytesCopied) {
  AnswerWithCountingBytes();
  const uint32_t n = GetParam().n;
  std::vector<uint8_t> out(n + 8, kGuard);
  EXPECT_EQ(GetChallenge(out.data(), n, kReader), 0x9000);

  std::vector<std::string> sent, wanted;
  for (const auto& apdu : Apdus()) sent.push_back(Hex(apdu.frame));
  for (uint8_t le : GetParam().les) wanted.push_back("00 84 00 00 " + Hex(&le, 1));
  EXPECT_EQ(sent, wanted);

  std::vector<uint8_t> expected(n + 8, kGuard);
  for (uint32_t i = 0; i < n; ++i) expected[i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(Hex(out), Hex(expected));
}

INSTANTIATE_TEST_SUITE_P(Challenge, Pieces,
                         ::testing::Values(PieceCase{0, {0x00}}, PieceCase{8, {0x08}},
                                           PieceCase{16, {0x10}}, PieceCase{17, {0x10, 0x01}},
                                           PieceCase{32, {0x10, 0x10}},
                                           PieceCase{40, {0x10, 0x10, 0x08}}));

TEST_F(BoundDriver, RefusedSecondPieceKeepsTheFirst) {
  QueueSw(0x9000, Bytes("0102030405060708090A0B0C0D0E0F10"));
  QueueSw(0x6A86, Bytes("1112131415161718191A1B1C1D1E1F20"));
  std::vector<uint8_t> out(40, kGuard);
  EXPECT_EQ(GetChallenge(out.data(), 40, kReader), 0x6A86);
  EXPECT_EQ(Apdus().size(), 2u) << "no third piece after a refusal";
  std::vector<uint8_t> expected(40, kGuard);
  for (int i = 0; i < 16; ++i) expected[i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(Hex(out), Hex(expected));
}

TEST_F(BoundDriver, ShortAnswersLeaveZeros) {
  QueueSw(0x9000, Bytes("A1A2A3"));
  QueueSw(0x9000, Bytes("B1"));
  std::vector<uint8_t> out(20, kGuard);
  EXPECT_EQ(GetChallenge(out.data(), 20, kReader), 0x9000);
  EXPECT_EQ(Hex(out), "A1 A2 A3 00 00 00 00 00 00 00 00 00 00 00 00 00 B1 00 00 00");
}

}  // namespace
}  // namespace twtest
