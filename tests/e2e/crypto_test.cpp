// Card DES, the card's 16-byte cipher and card SHA-1 through the library,
// against known answers and OpenSSL.
#include "card_session.h"

namespace e2e {
namespace {

struct DesCase {
  const char* key;
  const char* plain;
  const char* cipher;
};

class CardDes : public CardSession, public ::testing::WithParamInterface<DesCase> {};

TEST_P(CardDes, MatchesTheKnownAnswerAndTheHost) {
  const std::vector<uint8_t> key = Bytes(GetParam().key), plain = Bytes(GetParam().plain);
  std::vector<uint8_t> cipher(8), back(8);
  ASSERT_EQ(DesEncrypt(key.data(), plain.data(), cipher.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(cipher), GetParam().cipher);
  EXPECT_EQ(Hex(cipher), Hex(HostDes(key, plain, true)));
  ASSERT_EQ(DesDecrypt(key.data(), cipher.data(), back.data(), reader_), 0x9000);
  EXPECT_EQ(Hex(back), Hex(plain));
}

INSTANTIATE_TEST_SUITE_P(
    Vectors, CardDes,
    ::testing::Values(DesCase{"13 34 57 79 9B BC DF F1", "01 23 45 67 89 AB CD EF", "85 E8 13 54 0F 0A B4 05"},
                      DesCase{"01 23 45 67 89 AB CD EF", "4E 6F 77 20 69 73 20 74", "3F A4 0E 8A 98 4D 48 15"},
                      DesCase{"0E 32 92 32 EA 6D 0D 73", "87 87 87 87 87 87 87 87", "00 00 00 00 00 00 00 00"},
                      // Parity bits do not count: FE and FF are the same key byte.
                      DesCase{"FE FE FE FE FE FE FE FE", "00 00 00 00 00 00 00 00", "CA AA AF 4D EA F1 DB AE"},
                      DesCase{"FF FF FF FF FF FF FF FF", "00 00 00 00 00 00 00 00", "CA AA AF 4D EA F1 DB AE"},
                      DesCase{"FF FF FF FF FF FF FF FF", "FF FF FF FF FF FF FF FF", "73 59 B2 16 3E 4E DC 58"}));

class CardTripleDes : public CardSession, public ::testing::WithParamInterface<const char*> {};

// Three card DES commands (E K1, D K2, E K1) make two-key triple-DES.
TEST_P(CardTripleDes, MatchesTheLibraryAndTheHost) {
  const std::vector<uint8_t> key = Bytes(GetParam());
  const std::vector<uint8_t> plain = Pattern(8, key[3]);
  std::vector<uint8_t> on_card(8), on_host(8);
  ASSERT_EQ(IC_TriDesEncrypt(key.data(), plain.data(), on_card.data(), reader_), 0);
  ASSERT_EQ(TriDesEncrypt(key.data(), plain.data(), on_host.data(), 8), 0);
  EXPECT_EQ(Hex(on_card), Hex(on_host));
  EXPECT_EQ(Hex(on_card), Hex(HostDes(key, plain, true)));
}

INSTANTIATE_TEST_SUITE_P(Keys, CardTripleDes,
                         ::testing::Values("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F",
                                           "01 23 45 67 89 AB CD EF FE DC BA 98 76 54 32 10",
                                           "13 34 57 79 9B BC DF F1 13 34 57 79 9B BC DF F1"));

class CardCipher : public CardSession, public ::testing::WithParamInterface<int32_t> {};

// The virtual card's 16-byte cipher is AES-128; a short last block is
// zero-filled.
TEST_P(CardCipher, EncryptsLikeAes128AndDecryptsBack) {
  const int32_t n = GetParam();
  const std::vector<uint8_t> key = Bytes("2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C");
  const std::vector<uint8_t> plain = Pattern(static_cast<std::size_t>(n), 0x44);
  const std::size_t padded = (static_cast<std::size_t>(n) + 15) / 16 * 16;
  std::vector<uint8_t> cipher(padded + 16, 0xEE), back(padded + 16, 0xEE);
  int32_t count = -1;
  ASSERT_EQ(Cdea_Encrypt(reader_, key.data(), plain.data(), n, cipher.data(), &count), 0x9000);
  ASSERT_EQ(count, static_cast<int32_t>(padded));
  cipher.resize(padded);
  std::vector<uint8_t> zero_filled = plain;
  zero_filled.resize(padded, 0);
  EXPECT_EQ(Hex(cipher), Hex(HostAes(key, zero_filled, true)));

  ASSERT_EQ(Cdea_Decrypt(reader_, key.data(), cipher.data(), n, back.data(), &count), 0x9000);
  back.resize(padded);
  EXPECT_EQ(Hex(back), Hex(zero_filled));
}

INSTANTIATE_TEST_SUITE_P(Lengths, CardCipher, ::testing::Values(1, 16, 17, 32, 100));

TEST_F(CardSession, CipherKnownAnswer) {
  // FIPS-197 appendix C.1.
  const std::vector<uint8_t> key = Bytes("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
  const std::vector<uint8_t> plain = Bytes("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
  std::vector<uint8_t> cipher(16);
  int32_t count = 0;
  ASSERT_EQ(Cdea_Encrypt(reader_, key.data(), plain.data(), 16, cipher.data(), &count), 0x9000);
  EXPECT_EQ(Hex(cipher), "69 C4 E0 D8 6A 7B 04 30 D8 CD B7 80 70 B4 C5 5A");
}

// Key command mode 0: the session key is the cipher of the command data
// under the loaded key; the cipher command then encrypts under it, and the
// card answers the session key's check value (the first 3 bytes of a zero
// block under it).
TEST_F(CardSession, SessionKeyFromTheLoadedKey) {
  const std::vector<uint8_t> key = Bytes("2B 7E 15 16 28 AE D2 A6 AB F7 15 88 09 CF 4F 3C");
  const std::vector<uint8_t> derivation = Pattern(16, 0xA0);
  const std::vector<uint8_t> input = Pattern(40, 0x10);
  const std::vector<uint8_t> session = HostAes(key, derivation, true);
  std::vector<uint8_t> zero_filled = input;
  zero_filled.resize(48, 0);

  ASSERT_EQ(Cdea_Genkey(reader_, key.data()), 0x9000);
  std::vector<uint8_t> check(200, 0), out(48, 0);
  uint8_t check_length = 0;
  int32_t count = 0;
  ASSERT_EQ(Cdea_InMK(reader_, derivation.data(), 16, 0, input.data(), 40, check.data(), &check_length,
                      out.data(), &count, 0x55),
            0x9000);
  ASSERT_EQ(check_length, 3);
  check.resize(3);
  std::vector<uint8_t> check_value = HostAes(session, std::vector<uint8_t>(16, 0), true);
  check_value.resize(3);
  EXPECT_EQ(Hex(check), Hex(check_value));
  EXPECT_EQ(count, 48);
  EXPECT_EQ(Hex(out), Hex(HostAes(session, zero_filled, true)));

  std::vector<uint8_t> again(48, 0);
  ASSERT_EQ(Cdea_OutMK(reader_, derivation.data(), 0, input.data(), 40, again.data(), &count), 0x9000);
  EXPECT_EQ(Hex(again), Hex(out));
}

// Mode 1: the session key comes from a card key of the cipher's type with
// the derivation usage, named in P2.
TEST_F(CardSession, SessionKeyFromACardKey) {
  const std::vector<uint8_t> block = Bytes("03 02 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF");
  const std::vector<uint8_t> card_key(block.begin() + 2, block.end());
  ASSERT_EQ(VerifyPassphrase(kPassphrase01.data(), 8, 0x01, reader_), 0x9000);
  ASSERT_EQ(AddKey(0x21, 18, block.data(), reader_), 0x9000);

  const std::vector<uint8_t> derivation = Pattern(16, 0x5A);
  const std::vector<uint8_t> input = Pattern(16, 0x77);
  std::vector<uint8_t> check(200, 0), out(16, 0);
  uint8_t check_length = 0;
  int32_t count = 0;
  ASSERT_EQ(Cdea_InMK(reader_, derivation.data(), 16, 1, input.data(), 16, check.data(), &check_length,
                      out.data(), &count, 0x21),
            0x9000);
  EXPECT_EQ(Hex(out), Hex(HostAes(HostAes(card_key, derivation, true), input, true)));
  EXPECT_EQ(Cdea_InMK(reader_, derivation.data(), 16, 1, input.data(), 16, check.data(), &check_length,
                      out.data(), &count, 0x22),
            0x6A88)
      << "no card key 22";
  EXPECT_EQ(Cdea_GenMK(reader_, 2, derivation.data(), 16, check.data(), &check_length, 0), -1);
}

TEST_F(CardSession, CipherCommandsNeedTheirKeys) {
  const std::vector<uint8_t> block = Pattern(16, 0);
  std::vector<uint8_t> out(16);
  int32_t count = -1;
  EXPECT_EQ(Cdea_Command(reader_, block.data(), 16, out.data(), &count), 0x6985) << "no session key";
  EXPECT_EQ(count, 0);
}

TEST_F(CardSession, CardSha1MatchesTheHostForEveryLengthUpTo600) {
  const std::vector<uint8_t> message = Pattern(600, 0x9D);
  for (std::size_t n = 0; n <= message.size(); ++n) {
    const std::vector<uint8_t> part(message.begin(), message.begin() + static_cast<std::ptrdiff_t>(n));
    std::array<uint8_t, 20> digest{};
    ASSERT_EQ(SHA_Compress(reader_, part.data(), static_cast<int32_t>(n), digest.data()), 0x9000) << n;
    ASSERT_EQ(digest, HostSha1(part)) << "length " << n;
  }
}

TEST_F(CardSession, CardSha1OfTheLongestMessage) {
  const std::vector<uint8_t> message = Pattern(32767, 0x01);
  std::array<uint8_t, 20> digest{};
  ASSERT_EQ(SHA_Compress(reader_, message.data(), 32767, digest.data()), 0x9000);
  EXPECT_EQ(digest, HostSha1(message));
}

TEST_F(CardSession, CardSha1KnownAnswer) {
  const std::vector<uint8_t> abc = {'a', 'b', 'c'};
  std::vector<uint8_t> digest(20);
  ASSERT_EQ(SHA_Compress(reader_, abc.data(), 3, digest.data()), 0x9000);
  EXPECT_EQ(Hex(digest), "A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D");
}

}  // namespace
}  // namespace e2e
