// Passphrases, access conditions, challenges and external authentication
// through the library.
#include "card_session.h"

namespace e2e {
namespace {

const std::vector<uint8_t> kWrong = {'0', '0', '0', '0', '0', '0', '0', '0'};

int32_t Verify(const std::vector<uint8_t>& pass, tw_handle_t reader) {
  return VerifyPassphrase(pass.data(), static_cast<uint8_t>(pass.size()), 0x01, reader);
}

TEST_F(CardSession, WrongPassphrasesCountDownAndBlock) {
  EXPECT_EQ(Verify(kWrong, reader_), 0x63C2);
  EXPECT_EQ(Verify(kWrong, reader_), 0x63C1);
  EXPECT_EQ(Verify(kWrong, reader_), 0x63C0);
  EXPECT_EQ(Verify(kPassphrase01, reader_), 0x6983);
  EXPECT_EQ(Verify(kWrong, reader_), 0x6983);
}

TEST_F(CardSession, RightPassphraseRestoresTheTries) {
  EXPECT_EQ(Verify(kWrong, reader_), 0x63C2);
  EXPECT_EQ(Verify(kPassphrase01, reader_), 0x9000);
  EXPECT_EQ(Verify(kWrong, reader_), 0x63C2);
}

TEST_F(CardSession, UnblockingSetsANewPassphrase) {
  for (int i = 0; i < 3; ++i) Verify(kWrong, reader_);
  ASSERT_EQ(Verify(kPassphrase01, reader_), 0x6983);
  const std::vector<uint8_t> fresh = {'n', 'e', 'w', 'p', 'a', 's', 's', '1'};
  EXPECT_NE(KeyUnblock(0x01, kWrong.data(), fresh.data(), reader_), 0x9000);
  ASSERT_EQ(KeyUnblock(0x01, kUnblock01.data(), fresh.data(), reader_), 0x9000);
  EXPECT_EQ(Verify(kPassphrase01, reader_), 0x63C2);
  EXPECT_EQ(Verify(fresh, reader_), 0x9000);
}

TEST_F(CardSession, ChangingThePassphraseNeedsTheCurrentOne) {
  const std::vector<uint8_t> fresh = {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
  EXPECT_NE(SetPassphrase(reader_, kWrong.data(), 0x01, fresh.data()), 0x9000);
  ASSERT_EQ(SetPassphrase(reader_, kPassphrase01.data(), 0x01, fresh.data()), 0x9000);
  EXPECT_EQ(Verify(fresh, reader_), 0x9000);
  EXPECT_NE(Verify(kPassphrase01, reader_), 0x9000);
}

struct GuardedFile {
  const char* name;
  uint8_t fid;
  bool (*unlock)(tw_handle_t reader);
};

class GuardedFiles : public CardSession, public ::testing::WithParamInterface<GuardedFile> {};

// The guarded files refuse an update until their condition is met, and a
// reset takes the right away again.
TEST_P(GuardedFiles, OpenOnlyToTheirCondition) {
  const std::vector<uint8_t> data = Pattern(64, 0x50);
  ASSERT_EQ(SelectFile(0x00, 0, GetParam().fid, reader_), 0x9000);
  EXPECT_EQ(UpdateBin(64, data.data(), reader_), 0x6982);
  ASSERT_TRUE(GetParam().unlock(reader_));
  ASSERT_EQ(SelectFile(0x00, 0, GetParam().fid, reader_), 0x9000);
  EXPECT_EQ(UpdateBin(64, data.data(), reader_), 0x9000);
  std::vector<uint8_t> back(64);
  EXPECT_EQ(ReadBin(64, back.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(back), Hex(data));

  ASSERT_EQ(ResetICC(static_cast<int32_t>(reader_), 0, 0), 0);
  ASSERT_EQ(SelectFile(0x00, 0, GetParam().fid, reader_), 0x9000);
  EXPECT_EQ(UpdateBin(64, data.data(), reader_), 0x6982);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, GuardedFiles,
    ::testing::Values(
        GuardedFile{"passphrase", 0x04, [](tw_handle_t r) { return Verify(kPassphrase01, r) == 0x9000; }},
        GuardedFile{"external_auth", 0x05, [](tw_handle_t r) { return ExternAuth(r, kKey01.data(), 0x01) == 0; }}),
    [](const auto& info) { return std::string(info.param.name); });

// A passphrase does not open the file guarded by external authentication.
TEST_F(CardSession, PassphraseDoesNotStandInForAuthentication) {
  ASSERT_EQ(Verify(kPassphrase01, reader_), 0x9000);
  ASSERT_EQ(SelectFile(0x00, 0, 0x05, reader_), 0x9000);
  const std::vector<uint8_t> data = Pattern(8, 0);
  EXPECT_EQ(UpdateBin(8, data.data(), reader_), 0x6982);
}

struct AuthCase {
  const char* name;
  std::vector<uint8_t> key;
  uint8_t key_id;
  int32_t result;
};

class ExternAuthCases : public CardSession, public ::testing::WithParamInterface<AuthCase> {};

TEST_P(ExternAuthCases, AnswersTheChallenge) {
  EXPECT_EQ(ExternAuth(reader_, GetParam().key.data(), GetParam().key_id), GetParam().result);
}

std::vector<uint8_t> Flipped(std::vector<uint8_t> key, std::size_t byte) {
  key[byte] ^= 0x80;
  return key;
}

std::vector<uint8_t> Twice(const std::vector<uint8_t>& key) {
  std::vector<uint8_t> out = key;
  out.insert(out.end(), key.begin(), key.end());
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ExternAuthCases,
    ::testing::Values(AuthCase{"key01", kKey01, 0x01, 0},
                      AuthCase{"key01_first_half_wrong", Flipped(kKey01, 2), 0x01, 3},
                      AuthCase{"key01_second_half_wrong", Flipped(kKey01, 12), 0x01, 3},
                      // Key 02 is single DES, which is triple-DES with K1 = K2.
                      AuthCase{"key02_as_triple_des", Twice(kKey02), 0x02, 0},
                      AuthCase{"key01_against_key02", kKey01, 0x02, 3},
                      AuthCase{"missing_key", kKey01, 0x09, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CardSession, ExtAuthWithTheDesKey) {
  EXPECT_EQ(ExtAuth(0x02, kKey02.data(), reader_), 0x9000);
  EXPECT_NE(ExtAuth(0x02, Flipped(kKey02, 0).data(), reader_), 0x9000);
}

TEST_F(CardSession, ChallengesAreFreshAndOfTheAskedLength) {
  std::vector<uint8_t> first(40, 0), second(40, 0);
  ASSERT_EQ(GetChallenge(first.data(), 40, reader_), 0x9000);
  ASSERT_EQ(GetChallenge(second.data(), 40, reader_), 0x9000);
  EXPECT_NE(first, second);
  EXPECT_NE(std::vector<uint8_t>(first.begin() + 32, first.end()), std::vector<uint8_t>(8, 0));
}

// A key block: type 02 (two-key triple-DES), usage 01 (external
// authentication), then K1 and K2.
TEST_F(CardSession, AddedAndModifiedKeysAuthenticate) {
  const std::vector<uint8_t> first = Bytes("02 01 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF 00");
  const std::vector<uint8_t> second = Bytes("02 01 F0 E1 D2 C3 B4 A5 96 87 78 69 5A 4B 3C 2D 1E 0F");
  const std::vector<uint8_t> first_key(first.begin() + 2, first.end());
  const std::vector<uint8_t> second_key(second.begin() + 2, second.end());
  EXPECT_EQ(AddKey(0x07, 18, first.data(), reader_), 0x6982) << "writing keys needs passphrase 01";
  ASSERT_EQ(Verify(kPassphrase01, reader_), 0x9000);
  ASSERT_EQ(AddKey(0x07, 18, first.data(), reader_), 0x9000);
  EXPECT_EQ(AddKey(0x07, 18, first.data(), reader_), 0x6A89);
  EXPECT_EQ(ExternAuth(reader_, first_key.data(), 0x07), 0);

  ASSERT_EQ(ModifyKey(0x02, 18, 0x07, second.data(), reader_), 0x9000);
  EXPECT_EQ(ExternAuth(reader_, first_key.data(), 0x07), 3);
  EXPECT_EQ(ExternAuth(reader_, second_key.data(), 0x07), 0);
  EXPECT_EQ(ModifyKey(0x02, 18, 0x08, second.data(), reader_), 0x6A88) << "no key 08 to replace";
}

TEST_F(CardSession, MalformedKeyBlocksAreRefused) {
  ASSERT_EQ(Verify(kPassphrase01, reader_), 0x9000);
  for (const char* block : {"09 01 11 22 33 44 55 66 77 88", "01 02 11 22 33 44 55 66 77 88"}) {
    const std::vector<uint8_t> bytes = Bytes(block);
    EXPECT_EQ(AddKey(0x09, static_cast<uint8_t>(bytes.size()), bytes.data(), reader_), 0x6A80) << block;
  }
  const std::vector<uint8_t> short_des = Bytes("01 01 11 22 33 44 55 66 77");
  EXPECT_EQ(AddKey(0x09, 9, short_des.data(), reader_), 0x6700);
}

}  // namespace
}  // namespace e2e
