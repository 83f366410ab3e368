// External authentication: the result codes of the host triple-DES variant,
// its cryptogram against an independent triple-DES, and the command order of
// the card-DES variant with the status word of the step that failed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.h"
#include "support/tdes_reference.h"

namespace twtest {
namespace {

const std::vector<uint8_t> kChallenge = Bytes("0123456789ABCDEF");

bool ExternalAuthenticateSent() {
  for (const auto& apdu : Apdus())
    if (apdu.frame[1] == 0x82) return true;
  return false;
}

struct CodeCase {
  const char* name;
  int32_t challenge_sw;
  int32_t authenticate_sw;
  int32_t code;
};

class ExternAuthCodes : public BoundDriver, public ::testing::WithParamInterface<CodeCase> {};

TEST_P(ExternAuthCodes, FoldTheCardsAnswers) {
  const auto& c = GetParam();
  Queue({c.challenge_sw, kChallenge, {}});
  SetDefault({c.authenticate_sw, {}, {}});
  const auto key = Bytes("0123456789ABCDEF FEDCBA9876543210");
  EXPECT_EQ(ExternAuth(kReader, key.data(), 0x01), c.code);
  EXPECT_EQ(ExternalAuthenticateSent(), c.challenge_sw == 0x9000);
}

INSTANTIATE_TEST_SUITE_P(
    Auth, ExternAuthCodes,
    ::testing::Values(CodeCase{"accepted", 0x9000, 0x9000, 0}, CodeCase{"refused", 0x9000, 0x6300, 3},
                      CodeCase{"authenticate_driver_failed", 0x9000, 0xFFFF, 3},
                      CodeCase{"no_challenge", 0x6A81, 0x9000, 1},
                      CodeCase{"challenge_driver_failed", 0xFFFF, 0xFFFF, 1}),
    [](const auto& info) { return std::string(info.param.name); });

struct CryptogramCase {
  const char* key;
  const char* cryptogram;
};

class ExternAuthCryptogram : public BoundDriver,
                             public ::testing::WithParamInterface<CryptogramCase> {};

TEST_P(ExternAuthCryptogram, IsTheChallengeUnderTripleDes) {
  const auto key = Bytes(GetParam().key);
  QueueSw(0x9000, kChallenge);
  EXPECT_EQ(ExternAuth(kReader, key.data(), 0x2A), 0);
  ASSERT_EQ(Apdus().size(), 2u);
  EXPECT_EQ(Hex(Apdus()[0].frame), "00 84 00 00 08");
  EXPECT_EQ(Hex(Apdus()[1].frame), std::string("00 82 00 2A 08 ") + GetParam().cryptogram);
  EXPECT_EQ(Hex(Apdus()[1].frame.data() + 5, 8), Hex(ReferenceTriDes(key.data(), kChallenge)));
}

// With K1 = K2 the cryptogram is single DES under K1.
INSTANTIATE_TEST_SUITE_P(Auth, ExternAuthCryptogram,
                         ::testing::Values(CryptogramCase{"133457799BBCDFF1 133457799BBCDFF1",
                                                          "85 E8 13 54 0F 0A B4 05"},
                                           CryptogramCase{"0123456789ABCDEF FEDCBA9876543210",
                                                          "1A 4D 67 2D CA 6C B3 35"}));

TEST_F(BoundDriver, ExtAuthSendsChallengeCardDesAuthenticate) {
  QueueSw(0x9000, kChallenge);
  QueueSw(0x9000, Bytes("C1C2C3C4C5C6C7C8"));
  QueueSw(0x6300);
  const auto key = Bytes("133457799BBCDFF1");
  EXPECT_EQ(ExtAuth(0x02, key.data(), kReader), 0x6300);
  ASSERT_EQ(Apdus().size(), 3u);
  EXPECT_EQ(Hex(Apdus()[0].frame), "00 84 00 00 08");
  EXPECT_EQ(Hex(Apdus()[1].frame), "10 02 00 00 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF");
  EXPECT_EQ(Hex(Apdus()[2].frame), "00 82 00 02 08 C1 C2 C3 C4 C5 C6 C7 C8");
}

struct StepCase {
  std::size_t failing;  // 1 challenge, 2 card DES
  int32_t sw;
};

class ExtAuthStops : public BoundDriver, public ::testing::WithParamInterface<StepCase> {};

TEST_P(ExtAuthStops, AtTheFailingStep) {
  if (GetParam().failing == 2) QueueSw(0x9000, kChallenge);
  QueueSw(GetParam().sw);
  const auto key = Bytes("133457799BBCDFF1");
  EXPECT_EQ(ExtAuth(0x02, key.data(), kReader), GetParam().sw);
  EXPECT_EQ(Apdus().size(), GetParam().failing);
  EXPECT_FALSE(ExternalAuthenticateSent());
}

INSTANTIATE_TEST_SUITE_P(Auth, ExtAuthStops,
                         ::testing::Values(StepCase{1, 0x6A81}, StepCase{2, 0x6A80},
                                           StepCase{2, 0x6985}));

}  // namespace
}  // namespace twtest
