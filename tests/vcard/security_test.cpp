// Passphrases, the write-key command, challenges, external authentication
// (checked against the host's own DES) and access conditions.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include "card_test_support.h"

namespace vcardtest {
namespace {

class SecurityScripts : public ::testing::TestWithParam<Script> {};

TEST_P(SecurityScripts, AnswersAsExpected) {
  Card card;
  RunScript(card, GetParam().steps);
}

constexpr const char* kWrong = "00 20 00 01 08 30 30 30 30 30 30 30 30";

INSTANTIATE_TEST_SUITE_P(
    Passphrases, SecurityScripts,
    ::testing::Values(Script{"wrong_values_count_down_and_block",
                             {{kWrong, "63C2"},
                              {kWrong, "63C1"},
                              {"00 20 00 01 00", "63C1"},
                              {kWrong, "63C0"},
                              {kVerifyPassphrase01, "6983"},
                              {"00 20 00 01 00", "6983"}}},
                      Script{"right_value_restores_the_tries",
                             {{kWrong, "63C2"},
                              {"00 20 00 01 00", "63C2"},
                              {kVerifyPassphrase01, "9000"},
                              {"00 20 00 01 00", "9000"},
                              {kWrong, "63C2"},
                              {"00 20 00 01 00", "63C2"}}},
                      Script{"bad_parameters",
                             {{"00 20 00 02 08 31 32 33 34 35 36 37 38", "6A88"},
                              {"00 20 01 01 08 31 32 33 34 35 36 37 38", "6A86"},
                              {"00 20 00 01 09 31 32 33 34 35 36 37 38 39", "6700"},
                              {"00 20 00 01 08", "6700"},
                              {"00 20 00 01 00", "63C3"}}},
                      Script{"change_needs_the_current_value",
                             {{"80 24 00 01 10 30 30 30 30 30 30 30 30 61 62 63 64 65 66 67 68", "63C2"},
                              {"80 24 00 01 10 31 32 33 34 35 36 37 38 61 62 63 64 65 66 67 68", "9000"},
                              {"00 20 00 01 00", "9000"},
                              {"00 20 00 01 08 61 62 63 64 65 66 67 68", "9000"},
                              {kVerifyPassphrase01, "63C2"}}},
                      Script{"short_passphrases_are_padded_with_ff",
                             {{"80 24 00 01 10 31 32 33 34 35 36 37 38 31 32 33 34 FF FF FF FF", "9000"},
                              {"00 20 00 01 04 31 32 33 34", "9000"},
                              {"00 20 00 01 05 31 32 33 34 00", "63C2"}}},
                      Script{"change_framing",
                             {{"80 24 00 01 08 31 32 33 34 35 36 37 38", "6700"},
                              {"80 24 00 03 10 31 32 33 34 35 36 37 38 61 62 63 64 65 66 67 68", "6A88"}}},
                      Script{"unblock_sets_a_new_passphrase",
                             {{kWrong, "63C2"},
                              {kWrong, "63C1"},
                              {kWrong, "63C0"},
                              {"80 24 00 01 10 31 32 33 34 35 36 37 38 61 62 63 64 65 66 67 68", "6983"},
                              {"80 2C 00 01 10 30 30 30 30 30 30 30 30 61 62 63 64 65 66 67 68", "63C9"},
                              {"80 2C 00 01 10 38 37 36 35 34 33 32 31 61 62 63 64 65 66 67 68", "9000"},
                              {"00 20 00 01 00", "63C3"},
                              {kVerifyPassphrase01, "63C2"},
                              {"00 20 00 01 08 61 62 63 64 65 66 67 68", "9000"}}}),
    ScriptName);

const std::string kAddDesKey03 = "80 D4 01 03 0A 01 01 01 02 03 04 05 06 07 08";

INSTANTIATE_TEST_SUITE_P(
    Keys, SecurityScripts,
    ::testing::Values(
        Script{"writing_keys_needs_the_passphrase", {{kAddDesKey03, "6982"}}},
        Script{"add_then_modify",
               {{kVerifyPassphrase01, "9000"},
                {kAddDesKey03, "9000"},
                {kAddDesKey03, "6A89"},
                {"80 D4 02 03 0A 01 01 11 12 13 14 15 16 17 18", "9000"},
                {"80 D4 00 03 12 02 01 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", "9000"},
                {"80 D4 02 09 0A 01 01 01 02 03 04 05 06 07 08", "6A88"}}},
        Script{"invalid_blocks",
               {{kVerifyPassphrase01, "9000"},
                {"80 D4 01 03 0A 04 01 01 02 03 04 05 06 07 08", "6A80"},
                {"80 D4 01 03 09 01 01 01 02 03 04 05 06 07", "6700"},
                {"80 D4 01 03 0A 01 02 01 02 03 04 05 06 07 08", "6A80"},
                {"80 D4 01 03 12 03 01 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", "6A80"},
                {"80 D4 01 03 01 01", "6700"},
                {"80 D4 01 00 0A 01 01 01 02 03 04 05 06 07 08", "6A86"},
                {"80 D4 01 FF 0A 01 01 01 02 03 04 05 06 07 08", "6A86"}}}),
    ScriptName);

INSTANTIATE_TEST_SUITE_P(Challenges, SecurityScripts,
                         ::testing::Values(Script{"framing",
                                                  {{"00 84 00 00 00", "6700"},
                                                   {"00 84 01 00 08", "6A86"},
                                                   {"00 84 00 00 01 00", "6700"}}},
                                           Script{"authentication_without_a_challenge",
                                                  {{"00 82 00 01 08 00 00 00 00 00 00 00 00", "6985"},
                                                   {"00 82 00 01 07 00 00 00 00 00 00 00", "6700"},
                                                   {"00 82 01 01 08 00 00 00 00 00 00 00 00", "6A86"}}}),
                         ScriptName);

std::vector<uint8_t> HostDes(const std::vector<uint8_t>& key, const std::vector<uint8_t>& block) {
  DES_cblock k1, k2, in, out;
  std::copy(key.begin(), key.begin() + 8, k1);
  std::copy(key.end() - 8, key.end(), k2);
  std::copy(block.begin(), block.end(), in);
  DES_key_schedule s1, s2;
  DES_set_key_unchecked(&k1, &s1);
  DES_set_key_unchecked(&k2, &s2);
  DES_ecb3_encrypt(&in, &out, &s1, &s2, &s1, DES_ENCRYPT);
  return {out, out + 8};
}

const std::vector<uint8_t> kKey01 = Bytes("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
const std::vector<uint8_t> kKey02 = Bytes("01 23 45 67 89 AB CD EF");

std::vector<uint8_t> Challenge(Card& card, uint8_t le = 8) {
  const Answer a = Send(card, std::vector<uint8_t>{0x00, 0x84, 0x00, 0x00, le});
  EXPECT_EQ(a.sw, 0x9000);
  EXPECT_EQ(a.data.size(), le);
  return std::vector<uint8_t>(a.data.end() - 8, a.data.end());
}

uint16_t Authenticate(Card& card, uint8_t key_id, const std::vector<uint8_t>& response) {
  return Send(card, Apdu(0x00, 0x82, 0x00, key_id, response)).sw;
}

struct AuthCase {
  const char* name;
  uint8_t key_id;
  std::vector<uint8_t> host_key;
  uint8_t challenge_length;
  uint16_t sw;
};

class ExternalAuthentication : public ::testing::TestWithParam<AuthCase> {};

TEST_P(ExternalAuthentication, ChecksTheEncryptedChallenge) {
  Card card;
  const std::vector<uint8_t> challenge = Challenge(card, GetParam().challenge_length);
  EXPECT_EQ(Authenticate(card, GetParam().key_id, HostDes(GetParam().host_key, challenge)), GetParam().sw);
}

std::vector<uint8_t> Flipped(std::vector<uint8_t> key, std::size_t byte) {
  key[byte] ^= 0x10;
  return key;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ExternalAuthentication,
    ::testing::Values(AuthCase{"triple_des_key01", 0x01, kKey01, 8, 0x9000},
                      AuthCase{"last_8_of_a_longer_challenge", 0x01, kKey01, 16, 0x9000},
                      AuthCase{"des_key02", 0x02, kKey02, 8, 0x9000},
                      AuthCase{"parity_bits_do_not_count", 0x02, Bytes("00 22 44 66 88 AA CC EE"), 8, 0x9000},
                      AuthCase{"key01_first_half_wrong", 0x01, Flipped(kKey01, 3), 8, 0x6300},
                      AuthCase{"key01_second_half_wrong", 0x01, Flipped(kKey01, 11), 8, 0x6300},
                      AuthCase{"key02_wrong", 0x02, Flipped(kKey02, 7), 8, 0x6300},
                      AuthCase{
                          "key01_used_as_single_des", 0x01, {kKey01.begin(), kKey01.begin() + 8}, 8, 0x6300},
                      AuthCase{"missing_key", 0x09, kKey01, 8, 0x6A88}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExternalAuthentication, ChallengeServesOnce) {
  Card card;
  const std::vector<uint8_t> response = HostDes(kKey01, Challenge(card));
  EXPECT_EQ(Authenticate(card, 0x01, response), 0x9000);
  EXPECT_EQ(Authenticate(card, 0x01, response), 0x6985);
  EXPECT_EQ(Authenticate(card, 0x01, HostDes(kKey01, Challenge(card))), 0x9000);
}

// A challenge of fewer than 8 bytes replaces the last one and is no
// challenge itself.
TEST(ExternalAuthentication, ShortChallengeLeavesNone) {
  Card card;
  const std::vector<uint8_t> challenge = Challenge(card);
  ASSERT_EQ(Send(card, "00 84 00 00 07").data.size(), 7u);
  EXPECT_EQ(Authenticate(card, 0x01, HostDes(kKey01, challenge)), 0x6985);
}

TEST(ExternalAuthentication, FailedAttemptSpendsTheChallenge) {
  Card card;
  const std::vector<uint8_t> challenge = Challenge(card);
  EXPECT_EQ(Authenticate(card, 0x01, Flipped(HostDes(kKey01, challenge), 0)), 0x6300);
  EXPECT_EQ(Authenticate(card, 0x01, HostDes(kKey01, challenge)), 0x6985);
}

// The card DES command between challenge and answer (as a host without
// DES of its own sends it) does not disturb the challenge.
TEST(ExternalAuthentication, SurvivesOtherCommandsInBetween) {
  Card card;
  const std::vector<uint8_t> challenge = Challenge(card);
  const Answer des = Send(card, Apdu(0x10, 0x02, 0x00, 0x00, Concat(kKey02, challenge)));
  ASSERT_EQ(des.sw, 0x9000);
  EXPECT_EQ(Authenticate(card, 0x02, des.data), 0x9000);
}

TEST(ExternalAuthentication, ModifiedKeyTakesEffectAndDropsTheOldProof) {
  Card card;
  ASSERT_EQ(Authenticate(card, 0x02, HostDes(kKey02, Challenge(card))), 0x9000);
  ASSERT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  const std::vector<uint8_t> fresh = Bytes("FE DC BA 98 76 54 32 10");
  ASSERT_EQ(Send(card, Apdu(0x80, 0xD4, 0x02, 0x02, Concat({0x01, 0x01}, fresh))).sw, 0x9000);
  ASSERT_EQ(Show(Send(card, "80 E0 00 20 07 01 00 04 00 22 00 00")), "9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 01 AA")), "6982");
  EXPECT_EQ(Authenticate(card, 0x02, HostDes(kKey02, Challenge(card))), 0x6300);
  EXPECT_EQ(Authenticate(card, 0x02, HostDes(fresh, Challenge(card))), 0x9000);
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 01 AA")), "9000");
}

TEST(ExternalAuthentication, CipherKeysCannotAuthenticate) {
  Card card;
  ASSERT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  ASSERT_EQ(Send(card, Apdu(0x80, 0xD4, 0x01, 0x03, Concat({0x03, 0x02}, kKey01))).sw, 0x9000);
  EXPECT_EQ(Authenticate(card, 0x03, HostDes(kKey01, Challenge(card))), 0x6985);
}

TEST(Challenges, AreFresh) {
  Card card;
  const Answer a = Send(card, "00 84 00 00 FF");
  const Answer b = Send(card, "00 84 00 00 FF");
  ASSERT_EQ(a.data.size(), 255u);
  EXPECT_NE(a.data, b.data);
}

struct GuardedFile {
  const char* name;
  const char* select;
  bool (*unlock)(Card& card);
};

class AccessConditions : public ::testing::TestWithParam<GuardedFile> {};

// Reading is free; updating waits for the condition and a reset takes the
// right away again.
TEST_P(AccessConditions, UpdateOnlyAfterTheCondition) {
  Card card;
  ASSERT_EQ(Show(Send(card, GetParam().select)), "9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 02 AB CD")), "6982");
  EXPECT_EQ(Show(Send(card, "00 B0 00 00 02")), "00 00 | 9000");
  ASSERT_TRUE(GetParam().unlock(card));
  ASSERT_EQ(Show(Send(card, GetParam().select)), "9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 02 AB CD")), "9000");
  card.Reset();
  ASSERT_EQ(Show(Send(card, GetParam().select)), "9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 3E 02 AB CD")), "6982");
  EXPECT_EQ(Show(Send(card, "00 B0 00 00 02")), "AB CD | 9000");
}

INSTANTIATE_TEST_SUITE_P(
    Profile, AccessConditions,
    ::testing::Values(GuardedFile{"passphrase_01", "00 A4 00 0C 02 00 04",
                                  [](Card& c) { return Send(c, kVerifyPassphrase01).sw == 0x9000; }},
                      GuardedFile{"external_auth_key_01", "00 A4 00 0C 02 00 05",
                                  [](Card& c) {
                                    return Authenticate(c, 0x01, HostDes(kKey01, Challenge(c))) == 0x9000;
                                  }}),
    [](const auto& info) { return std::string(info.param.name); });

struct CrossedCondition {
  const char* name;
  const char* select;
  bool (*unlock)(Card& card);
};

class CrossedConditions : public ::testing::TestWithParam<CrossedCondition> {};

// One kind of proof never stands in for another.
TEST_P(CrossedConditions, DoNotOpenTheFile) {
  Card card;
  ASSERT_TRUE(GetParam().unlock(card));
  ASSERT_EQ(Show(Send(card, GetParam().select)), "9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 02 AB CD")), "6982");
}

INSTANTIATE_TEST_SUITE_P(
    Profile, CrossedConditions,
    ::testing::Values(CrossedCondition{"passphrase_for_ef_0005", "00 A4 00 0C 02 00 05",
                                       [](Card& c) { return Send(c, kVerifyPassphrase01).sw == 0x9000; }},
                      CrossedCondition{"key_02_for_ef_0005", "00 A4 00 0C 02 00 05",
                                       [](Card& c) {
                                         return Authenticate(c, 0x02, HostDes(kKey02, Challenge(c))) ==
                                                0x9000;
                                       }},
                      CrossedCondition{"key_01_for_ef_0004", "00 A4 00 0C 02 00 04",
                                       [](Card& c) {
                                         return Authenticate(c, 0x01, HostDes(kKey01, Challenge(c))) ==
                                                0x9000;
                                       }},
                      CrossedCondition{"failed_verify_clears_the_right", "00 A4 00 0C 02 00 04",
                                       [](Card& c) {
                                         return Send(c, kVerifyPassphrase01).sw == 0x9000 &&
                                                Send(c, kWrong).sw == 0x63C2;
                                       }},
                      CrossedCondition{"unblock_leaves_the_passphrase_unverified", "00 A4 00 0C 02 00 04",
                                       [](Card& c) {
                                         return Send(c, kVerifyPassphrase01).sw == 0x9000 &&
                                                Send(c, "80 2C 00 01 10 38 37 36 35 34 33 32 31 31 32 33 34 35 "
                                                        "36 37 38").sw == 0x9000;
                                       }},
                      // EF 0021, read and update "never" (FF), after every proof the session can
                      // hold: the passphrase and external authentication with keys 01, 02 and 0F.
                      CrossedCondition{"never_after_every_proof", "00 A4 00 0C 02 00 21",
                                       [](Card& c) {
                                         const std::vector<uint8_t> key0f = Bytes("0F 1E 2D 3C 4B 5A 69 78");
                                         return Send(c, "80 E0 00 21 07 01 00 04 FF FF 00 00").sw == 0x9000 &&
                                                Send(c, kVerifyPassphrase01).sw == 0x9000 &&
                                                Send(c, Apdu(0x80, 0xD4, 0x01, 0x0F, Concat({0x01, 0x01}, key0f)))
                                                        .sw == 0x9000 &&
                                                Authenticate(c, 0x01, HostDes(kKey01, Challenge(c))) == 0x9000 &&
                                                Authenticate(c, 0x02, HostDes(kKey02, Challenge(c))) == 0x9000 &&
                                                Authenticate(c, 0x0F, HostDes(key0f, Challenge(c))) == 0x9000 &&
                                                Send(c, "00 A4 00 0C 02 00 21").sw == 0x9000 &&
                                                Send(c, "00 B0 00 00 01").sw == 0x6982;
                                       }}),
    [](const auto& info) { return std::string(info.param.name); });

// A counted secret fails closed: the try is made durable before the
// comparison, and when it cannot be (the card's save fails) the command is
// refused with 0x6581, nothing compared, no try spent and nothing granted.
struct CountedSecret {
  const char* name;
  const char* command;
  const char* after;  // a wrong value sent once saving works again
  const char* tries;  // and its answer: every try still there but that one
};

class CountedSecrets : public ::testing::TestWithParam<CountedSecret> {};

TEST_P(CountedSecrets, AreRefusedWhenTheTryCannotBeKept) {
  Card card;
  bool saves = false;
  card.SetDurableSave([&saves](std::span<const uint8_t>) { return saves; });
  EXPECT_EQ(Show(Send(card, GetParam().command)), "6581");
  EXPECT_FALSE(card.TakeChanged());
  EXPECT_EQ(Show(Send(card, "00 20 00 01 00")), "63C3") << "not verified, no try spent";
  ASSERT_EQ(Show(Send(card, "00 A4 00 0C 02 00 04")), "9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 01 AA")), "6982");
  saves = true;
  EXPECT_EQ(Show(Send(card, GetParam().after)), GetParam().tries);
}

const char* const kWrongUnblock = "80 2C 00 01 10 30 30 30 30 30 30 30 30 31 32 33 34 35 36 37 38";

INSTANTIATE_TEST_SUITE_P(
    Passphrases, CountedSecrets,
    ::testing::Values(
        CountedSecret{"verify_wrong", kWrong, kWrong, "63C2"},
        CountedSecret{"verify_right", kVerifyPassphrase01, kWrong, "63C2"},
        CountedSecret{"change_right", "80 24 00 01 10 31 32 33 34 35 36 37 38 61 62 63 64 65 66 67 68", kWrong,
                      "63C2"},
        CountedSecret{"unblock_wrong", kWrongUnblock, kWrongUnblock, "63C9"},
        CountedSecret{"unblock_right", "80 2C 00 01 10 38 37 36 35 34 33 32 31 31 32 33 34 35 36 37 38",
                      kWrongUnblock, "63C9"}),
    [](const auto& info) { return std::string(info.param.name); });

// The try is already spent in what the card keeps when the comparison
// runs, for the right value as for a wrong one; that is the command's one
// save: the tries a match gives back wait for the next change.
TEST(CountedSecrets, TheSpentTryIsKeptBeforeTheComparison) {
  for (const char* presented : {kWrong, kVerifyPassphrase01}) {
    Card card;
    std::string kept;
    int saves = 0;
    card.SetDurableSave([&kept, &saves](std::span<const uint8_t> image) {
      std::optional<Card> saved = Card::LoadImage(image.data(), image.size());
      kept = saved ? Show(Send(*saved, "00 20 00 01 00")) : "unreadable";
      ++saves;
      return true;
    });
    Send(card, presented);
    EXPECT_EQ(kept, "63C2") << presented;
    EXPECT_EQ(saves, 1) << presented;
    EXPECT_FALSE(card.TakeChanged()) << presented;
  }
}

}  // namespace
}  // namespace vcardtest
