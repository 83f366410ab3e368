// The card's DES command: frame bytes, output written only on 0x9000, and
// the three-command triple-DES that stops at the first refusal.
#include <gtest/gtest.h>

#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kKey = Bytes("0123456789ABCDEF FEDCBA9876543210");
const std::vector<uint8_t> kBlock = Bytes("4E6F772069732074");
constexpr const char* kUntouched = "EE EE EE EE EE EE EE EE";

using CardDesFn = int32_t (*)(const uint8_t*, const uint8_t*, uint8_t*, tw_handle_t);

struct CardDesCase {
  const char* name;
  CardDesFn fn;
  int32_t sw;
  const char* frame;
  const char* out;
};

class CardDes : public BoundDriver, public ::testing::WithParamInterface<CardDesCase> {};

TEST_P(CardDes, FrameAndOutput) {
  const auto& c = GetParam();
  Queue({c.sw, Bytes("1122334455667788 9900"), {}});
  std::vector<uint8_t> out(8, 0xEE);
  EXPECT_EQ(c.fn(kKey.data(), kBlock.data(), out.data(), kReader), c.sw);
  ASSERT_EQ(Apdus().size(), 1u);
  EXPECT_EQ(Hex(Apdus()[0].frame), c.frame);
  EXPECT_EQ(Hex(out), c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Card, CardDes,
    ::testing::Values(
        CardDesCase{"encrypt", DesEncrypt, 0x9000,
                    "10 02 00 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74",
                    "11 22 33 44 55 66 77 88"},
        CardDesCase{"decrypt", DesDecrypt, 0x9000,
                    "10 02 01 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74",
                    "11 22 33 44 55 66 77 88"},
        CardDesCase{"encrypt_refused", DesEncrypt, 0x6A80,
                    "10 02 00 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74", kUntouched},
        CardDesCase{"decrypt_refused", DesDecrypt, 0x6985,
                    "10 02 01 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74", kUntouched}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoundDriver, CardTriDesChainsThreeCommands) {
  QueueSw(0x9000, Bytes("A1A2A3A4A5A6A7A8"));
  QueueSw(0x9000, Bytes("B1B2B3B4B5B6B7B8"));
  QueueSw(0x9000, Bytes("C1C2C3C4C5C6C7C8"));
  std::vector<uint8_t> out(8, 0xEE);
  EXPECT_EQ(IC_TriDesEncrypt(kKey.data(), kBlock.data(), out.data(), kReader), 0);
  ASSERT_EQ(Apdus().size(), 3u);
  EXPECT_EQ(Hex(Apdus()[0].frame), "10 02 00 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74");
  EXPECT_EQ(Hex(Apdus()[1].frame), "10 02 01 00 10 FE DC BA 98 76 54 32 10 A1 A2 A3 A4 A5 A6 A7 A8");
  EXPECT_EQ(Hex(Apdus()[2].frame), "10 02 00 00 10 01 23 45 67 89 AB CD EF B1 B2 B3 B4 B5 B6 B7 B8");
  EXPECT_EQ(Hex(out), "C1 C2 C3 C4 C5 C6 C7 C8");
}

struct StopCase {
  std::size_t failing;  // 1-based command that the card refuses
  int32_t sw;
};

class CardTriDesStops : public BoundDriver, public ::testing::WithParamInterface<StopCase> {};

TEST_P(CardTriDesStops, AtTheFirstRefusal) {
  for (std::size_t i = 1; i < GetParam().failing; ++i) QueueSw(0x9000, Bytes("A1A2A3A4A5A6A7A8"));
  Queue({GetParam().sw, Bytes("C1C2C3C4C5C6C7C8"), {}});
  std::vector<uint8_t> out(8, 0xEE);
  EXPECT_EQ(IC_TriDesEncrypt(kKey.data(), kBlock.data(), out.data(), kReader), GetParam().sw);
  EXPECT_EQ(Apdus().size(), GetParam().failing) << "nothing is sent after the refusal";
  EXPECT_EQ(Hex(out), kUntouched);
}

INSTANTIATE_TEST_SUITE_P(Card, CardTriDesStops,
                         ::testing::Values(StopCase{1, 0x6A80}, StopCase{2, 0x6985},
                                           StopCase{3, 0x6581}));

}  // namespace
}  // namespace twtest
