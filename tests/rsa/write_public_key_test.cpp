// WritePublicKey: SELECT FILE, then the record written from offset 0 in
// pieces of 128 bytes; nothing written when the selection fails.
#include <gtest/gtest.h>

#include "rsa/helpers.h"
#include "support/fixtures.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kModulus = Sequence(128, 0x01);
const std::string kSelect = "00 A4 00 00 02 00 10 00";
// 6E 80 and the first 126 modulus bytes fill the first piece.
const std::string kFirstPiece = "00 D6 00 00 80 6E 80 " + Hex(kModulus.data(), 126);
const std::string kModulusTail = Hex(kModulus.data() + 126, 2);

struct WriteCase {
  const char* name;
  uint8_t exp_len;
  std::vector<int32_t> answers;
  int32_t result;
  std::vector<std::string> frames;
};

const WriteCase kCases[] = {
    {"whole_exponent", 3, {0x9000, 0x9000, 0x6581}, 0x6581,
     {kSelect, kFirstPiece, "00 D6 00 80 07 " + kModulusTail + " 65 03 01 00 01"}},
    {"two_exponent_bytes", 2, {}, 0x9000, {kSelect, kFirstPiece, "00 D6 00 80 06 " + kModulusTail + " 65 02 01 00"}},
    {"one_exponent_byte", 1, {}, 0x9000, {kSelect, kFirstPiece, "00 D6 00 80 05 " + kModulusTail + " 65 01 01"}},
    {"no_exponent", 0, {}, 0x9000, {kSelect, kFirstPiece, "00 D6 00 80 04 " + kModulusTail + " 65 00"}},
    {"select_fails", 3, {0x6A82}, 0x6A82, {kSelect}},
    {"first_piece_fails", 3, {0x9000, 0x6581}, 0x6581, {kSelect, kFirstPiece}},
    {"exponent_too_long", 4, {}, 0x6700, {}},
};

class WritePublicKeyFrames : public BoundDriver, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WritePublicKeyFrames, SelectThenUpdate) {
  for (int32_t sw : GetParam().answers) QueueSw(sw);
  EXPECT_EQ(WritePublicKey(0x10, kModulus.data(), GetParam().exp_len, kReader), GetParam().result);
  std::vector<std::string> sent;
  for (const Apdu& a : Apdus()) sent.push_back(Hex(a.frame));
  EXPECT_EQ(sent, GetParam().frames);
}

INSTANTIATE_TEST_SUITE_P(Rsa, WritePublicKeyFrames, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
