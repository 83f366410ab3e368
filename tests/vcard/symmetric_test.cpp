// Card DES, the 16-byte cipher (AES-128 on this card) and its key commands,
// card SHA-1 single and chained, and what every command goes through first:
// class, instruction and framing.
#include <openssl/evp.h>

#include <array>

#include "card_test_support.h"

namespace vcardtest {
namespace {

class Scripts : public ::testing::TestWithParam<Script> {};

TEST_P(Scripts, AnswersAsExpected) {
  Card card;
  RunScript(card, GetParam().steps);
}

INSTANTIATE_TEST_SUITE_P(
    CardDes, Scripts,
    ::testing::Values(Script{"known_answers",
                             {{"10 02 00 00 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF",
                               "85 E8 13 54 0F 0A B4 05 | 9000"},
                              {"10 02 01 00 10 13 34 57 79 9B BC DF F1 85 E8 13 54 0F 0A B4 05",
                               "01 23 45 67 89 AB CD EF | 9000"},
                              {"10 02 00 00 10 01 23 45 67 89 AB CD EF 4E 6F 77 20 69 73 20 74",
                               "3F A4 0E 8A 98 4D 48 15 | 9000"},
                              {"10 02 00 00 10 FE FE FE FE FE FE FE FE 00 00 00 00 00 00 00 00",
                               "CA AA AF 4D EA F1 DB AE | 9000"},
                              {"10 02 00 00 10 FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 00",
                               "CA AA AF 4D EA F1 DB AE | 9000"}}},
                      Script{
                          "framing",
                          {{"10 02 02 00 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF", "6A86"},
                           {"10 02 00 01 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF", "6A86"},
                           {"10 02 00 00 08 13 34 57 79 9B BC DF F1", "6700"},
                           {"10 02 00 00 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF 08", "6700"}}}),
    ScriptName);

// FIPS-197 appendix C.1 for the encrypt and decrypt commands.
constexpr const char* kAesKey = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F";
constexpr const char* kAesPlain = "00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF";
constexpr const char* kAesCipher = "69 C4 E0 D8 6A 7B 04 30 D8 CD B7 80 70 B4 C5 5A";

INSTANTIATE_TEST_SUITE_P(
    Cipher16, Scripts,
    ::testing::Values(
        Script{"needs_a_loaded_key",
               {{std::string("80 F0 00 00 10 ") + kAesPlain, "6985"},
                {std::string("80 FA 00 00 10 ") + kAesPlain, "6985"},
                {std::string("80 CE 20 00 10 ") + kAesPlain, "6985"}}},
        Script{"aes_128_known_answer",
               {{std::string("80 F4 00 00 10 ") + kAesKey, "9000"},
                {std::string("80 F0 00 00 10 ") + kAesPlain, std::string(kAesCipher) + " | 9000"},
                {std::string("80 F2 00 00 10 ") + kAesCipher, std::string(kAesPlain) + " | 9000"}}},
        Script{"framing",
               {{"80 F4 00 00 08 00 01 02 03 04 05 06 07", "6700"},
                {std::string("80 F4 01 00 10 ") + kAesKey, "6A86"},
                {std::string("80 F4 00 00 10 ") + kAesKey, "9000"},
                {std::string("80 F0 00 00 10 ") + kAesPlain + " 10", "6700"},
                {std::string("80 CE 20 01 10 ") + kAesPlain, "6A86"},
                {std::string("80 CE 40 00 10 ") + kAesPlain, "6A86"},
                {"80 CE 20 00 08 00 11 22 33 44 55 66 77", "6700"}}},
        Script{"card_key_for_mode_60",
               {{std::string("80 CE 60 03 10 ") + kAesPlain, "6A88"},
                {std::string("80 CE 60 01 10 ") + kAesPlain, "6985"},
                {kVerifyPassphrase01, "9000"},
                {std::string("80 D4 01 03 12 03 00 ") + kAesKey, "9000"},
                {std::string("80 CE 60 03 10 ") + kAesPlain, "6985"},
                {std::string("80 D4 02 03 12 03 02 ") + kAesKey, "9000"},
                {std::string("80 FA 00 00 10 ") + kAesPlain, "6985"}}}),
    ScriptName);

std::array<uint8_t, 16> HostAes(const std::vector<uint8_t>& key, const std::vector<uint8_t>& block) {
  std::array<uint8_t, 16> out{};
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  int len = 0;
  EVP_EncryptInit_ex(ctx, EVP_aes_128_ecb(), nullptr, key.data(), nullptr);
  EVP_CIPHER_CTX_set_padding(ctx, 0);
  EVP_EncryptUpdate(ctx, out.data(), &len, block.data(), 16);
  EVP_CIPHER_CTX_free(ctx);
  return out;
}

std::string Hex16(const std::array<uint8_t, 16>& a) { return Hex(a.data(), a.size()); }

struct KeyCommandCase {
  const char* name;
  std::string setup;  // loads the master key
  std::string derive;
};

class SessionKeys : public ::testing::TestWithParam<KeyCommandCase> {};

// The session key is the data encrypted under the master key; the key
// command answers its check value, and the cipher command encrypts under it.
TEST_P(SessionKeys, DerivedUnderTheMasterKey) {
  Card card;
  ASSERT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  ASSERT_EQ(Show(Send(card, GetParam().setup)), "9000");
  const std::vector<uint8_t> master = Bytes("2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C");
  const std::vector<uint8_t> data = Bytes("F0 E1 D2 C3 B4 A5 96 87 78 69 5A 4B 3C 2D 1E 0F");
  const std::array<uint8_t, 16> session = HostAes(master, data);
  const std::vector<uint8_t> session_key(session.begin(), session.end());
  const std::array<uint8_t, 16> check = HostAes(session_key, std::vector<uint8_t>(16, 0));
  EXPECT_EQ(Show(Send(card, GetParam().derive)), Hex(check.data(), 3) + " | 9000");
  const std::vector<uint8_t> block = Bytes(kAesPlain);
  EXPECT_EQ(Show(Send(card, Apdu(0x80, 0xFA, 0x00, 0x00, block))),
            Hex16(HostAes(session_key, block)) + " | 9000");
  card.Reset();
  EXPECT_EQ(Send(card, Apdu(0x80, 0xFA, 0x00, 0x00, block)).sw, 0x6985) << "a reset forgets the session key";
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SessionKeys,
    ::testing::Values(KeyCommandCase{"loaded_key_mode_20",
                                     "80 F4 00 00 10 2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C",
                                     "80 CE 20 00 10 F0 E1 D2 C3 B4 A5 96 87 78 69 5A 4B 3C 2D 1E 0F"},
                      KeyCommandCase{"card_key_mode_60",
                                     "80 D4 01 07 12 03 02 2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C",
                                     "80 CE 60 07 10 F0 E1 D2 C3 B4 A5 96 87 78 69 5A 4B 3C 2D 1E 0F"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Cipher16, MatchesOpenSslAes128ForManyBlocks) {
  Card card;
  const std::vector<uint8_t> key = Bytes("2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C");
  ASSERT_EQ(Send(card, Apdu(0x80, 0xF4, 0x00, 0x00, key)).sw, 0x9000);
  for (int i = 0; i < 16; ++i) {
    std::vector<uint8_t> block(16);
    for (int j = 0; j < 16; ++j) block[static_cast<std::size_t>(j)] = static_cast<uint8_t>(i * 31 + j * 7);
    const Answer cipher = Send(card, Apdu(0x80, 0xF0, 0x00, 0x00, block));
    ASSERT_EQ(Show(cipher), Hex16(HostAes(key, block)) + " | 9000");
    EXPECT_EQ(Send(card, Apdu(0x80, 0xF2, 0x00, 0x00, cipher.data)).data, block);
  }
}

std::string HostSha1(const std::vector<uint8_t>& message) {
  std::vector<uint8_t> digest(20);
  unsigned int len = 0;
  EVP_Digest(message.data(), message.size(), digest.data(), &len, EVP_sha1(), nullptr);
  return Hex(digest);
}

std::vector<uint8_t> Message(std::size_t n) {
  std::vector<uint8_t> out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(i * 29 + (i >> 7));
  return out;
}

// The message in one command up to 138 bytes, else in a chain of 64-byte
// pieces whose last carries the total length.
Answer CardSha1(Card& card, const std::vector<uint8_t>& m) {
  const std::size_t n = m.size();
  if (n <= 138) return Send(card, Apdu(0x80, 0xCC, 0x00, static_cast<uint8_t>(n), m));
  auto piece = [&](std::size_t from, std::size_t len) {
    return std::vector<uint8_t>(m.begin() + static_cast<std::ptrdiff_t>(from),
                                m.begin() + static_cast<std::ptrdiff_t>(from + len));
  };
  Answer a = Send(card, Apdu(0x80, 0xCC, 0x3F, 0xFF, piece(0, 64)));
  std::size_t offset = 64;
  while (a.sw == 0x9000 && n - offset > 64) {
    a = Send(card, Apdu(0x80, 0xCC, 0xBF, 0xFF, piece(offset, 64)));
    offset += 64;
  }
  if (a.sw != 0x9000) return a;
  return Send(card, Apdu(0x80, 0xCC, static_cast<uint8_t>(0x80 | n >> 8), static_cast<uint8_t>(n),
                         piece(offset, n - offset)));
}

class Sha1Lengths : public ::testing::TestWithParam<std::size_t> {};

TEST_P(Sha1Lengths, EqualsOpenSsl) {
  Card card;
  const std::vector<uint8_t> m = Message(GetParam());
  EXPECT_EQ(Show(CardSha1(card, m)), HostSha1(m) + " | 9000");
}

// 16383 = 0x3FFF: its last piece has the parameters of a middle piece.
INSTANTIATE_TEST_SUITE_P(Lengths, Sha1Lengths,
                         ::testing::Values(0u, 1u, 3u, 55u, 64u, 138u, 139u, 192u, 193u, 300u, 4096u, 16383u,
                                           16384u, 32767u));

TEST(Sha1, KnownAnswer) {
  Card card;
  EXPECT_EQ(Show(Send(card, "80 CC 00 03 03 61 62 63")),
            "A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D | 9000");
}

const std::string k64 = Hex(std::vector<uint8_t>(64, 0x61));

INSTANTIATE_TEST_SUITE_P(
    Sha1Chains, Scripts,
    ::testing::Values(Script{"declared_length_must_match",
                             {{"80 CC 00 04 03 61 62 63", "6700"},
                              {"80 CC 3F FF 40 " + k64, "9000"},
                              {"80 CC 80 42 01 61", "6700"},
                              {"80 CC 80 41 01 61", "6985"}}},
                      Script{"continuation_without_a_start",
                             {{"80 CC BF FF 40 " + k64, "6985"}, {"80 CC 80 41 01 61", "6985"}}},
                      Script{"first_piece_is_64_bytes",
                             {{"80 CC 3F FF 03 61 62 63", "6700"}, {"80 CC 3F FE 40 " + k64, "6A86"}}},
                      Script{"another_command_breaks_the_chain",
                             {{"80 CC 3F FF 40 " + k64, "9000"},
                              {"00 A4 00 0C 02 00 01", "9000"},
                              {"80 CC 80 41 01 61", "6985"}}},
                      Script{"a_single_command_ends_a_chain",
                             {{"80 CC 3F FF 40 " + k64, "9000"},
                              {"80 CC 00 00 00",
                               "DA 39 A3 EE 5E 6B 4B 0D 32 55 BF EF 95 60 18 90 AF D8 07 09 | 9000"},
                              {"80 CC 80 41 01 61", "6985"}}},
                      Script{"last_piece_of_65_bytes",
                             {{"80 CC 3F FF 40 " + k64, "9000"}, {"80 CC 80 81 41 " + k64 + " 61", "6700"}}},
                      Script{"bad_p1", {{"80 CC 10 00 00", "6A86"}}}),
    ScriptName);

TEST(Sha1, MessageLongerThanTheLengthFieldIsRefused) {
  Card card;
  const std::vector<uint8_t> piece(64, 0x01);
  ASSERT_EQ(Send(card, Apdu(0x80, 0xCC, 0x3F, 0xFF, piece)).sw, 0x9000);
  uint16_t sw = 0x9000;
  int pieces = 1;
  while (sw == 0x9000 && pieces < 600) {
    sw = Send(card, Apdu(0x80, 0xCC, 0xBF, 0xFF, piece)).sw;
    ++pieces;
  }
  EXPECT_EQ(sw, 0x6700);
  EXPECT_EQ(pieces, 512) << "511 pieces (32704 bytes) fit below 32768";
}

INSTANTIATE_TEST_SUITE_P(Dispatch, Scripts,
                         ::testing::Values(Script{"idle_poll", {{kPoll, "6D00"}}},
                                           Script{"unknown_instructions",
                                                  {{"00 CA 00 00 00", "6D00"},
                                                   {"80 A4 00 00 00", "6D00"},
                                                   {"00 00 00 00 01", "6D00"}}},
                                           Script{"classes",
                                                  {{"90 A4 00 00 00", "6E00"},
                                                   {"20 A4 00 00 02 3F 00", "6E00"},
                                                   {"A0 A4 00 00 02 3F 00", "6E00"},
                                                   {"FF A4 00 00 00", "6E00"},
                                                   {"01 A4 00 00 02 3F 00", "6881"},
                                                   {"0C A4 00 00 02 3F 00", "6882"},
                                                   {"10 A4 00 00 02 3F 00", "6884"}}},
                                           Script{"lengths",
                                                  {{"", "6700"},
                                                   {"00 A4 00 00", "6700"},
                                                   {"00 D6 00 00 05 01 02", "6700"},
                                                   {"00 D6 00 00 01 01 02 03", "6700"}}},
                                           Script{"change_protocol",
                                                  {{"80 14 00 00 01 FF", "9000"},
                                                   {"80 14 00 00 01 FE", "9000"},
                                                   {"80 14 00 00 01 00", "6A80"},
                                                   {"80 14 00 01 01 FF", "6A86"},
                                                   {"80 14 00 00 02 FF FF", "6700"}}}),
                         ScriptName);

TEST(Dispatch, NullCommandIsRefused) {
  Card card;
  EXPECT_EQ(card.Process(nullptr, 5).sw, 0x6700);
  EXPECT_EQ(card.Process(nullptr, 0).sw, 0x6700);
}

}  // namespace
}  // namespace vcardtest
