// The card image: deterministic, a faithful round trip of everything the
// card keeps and nothing of the session, and refused when it is truncated,
// damaged, or describes contents the card would never hold.
#include <openssl/evp.h>

#include "card_test_support.h"

namespace vcardtest {
namespace {

std::optional<Card> Load(const std::vector<uint8_t>& image) {
  return Card::LoadImage(image.data(), image.size());
}

// Recomputes the SHA-256 trailer, so that only the structure can be wrong.
std::vector<uint8_t> Reseal(std::vector<uint8_t> image) {
  unsigned int len = 0;
  EVP_Digest(image.data(), image.size() - 32, image.data() + image.size() - 32, &len, EVP_sha256(), nullptr);
  return image;
}

// Sets the body length field for an image of the size it now has.
std::vector<uint8_t> FixLength(std::vector<uint8_t> image) {
  const std::size_t body = image.size() - 9 - 32;
  for (int i = 0; i < 4; ++i)
    image[5 + static_cast<std::size_t>(i)] = static_cast<uint8_t>(body >> (24 - 8 * i));
  return image;
}

TEST(Image, FreshCardsHaveOneImage) {
  const std::vector<uint8_t> image = Card().SaveImage();
  EXPECT_EQ(Hex({image.begin(), image.begin() + 9}).substr(0, 14), "54 57 56 43 01");
  EXPECT_EQ(Card().SaveImage(), image);
  std::optional<Card> loaded = Load(image);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->SaveImage(), image);
}

// Touches every part of the persistent state.
void ChangeEverything(Card& card) {
  const std::vector<Step> steps = {
      {"00 A4 00 0C 02 00 01", "9000"},
      {"00 D6 7F FE 02 AB CD", "9000"},
      {"00 E2 00 10 03 01 02 03", "9000"},
      {"00 20 00 01 08 30 30 30 30 30 30 30 30", "63C2"},
      {kVerifyPassphrase01, "9000"},
      {"80 E0 00 30 07 38 00 00 11 11 00 00", "9000"},
      {"80 E0 00 31 07 04 03 10 00 11 04 00", "9000"},
      {"00 E2 00 20 01 EE", "9000"},
      {"80 D4 01 09 12 03 02 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", "9000"},
      {"80 D4 01 05 0A 01 01 01 02 03 04 05 06 07 08", "9000"},
      {"80 24 00 01 10 31 32 33 34 35 36 37 38 61 62 63 64 FF FF FF FF", "9000"},
      {"80 CE 00 03 00", "6FF0"},
      {kPoll, "6FF0"},
      {kPoll, "6FF0"},
      {kPoll, "6FF0"},
      {kPoll, "6D00"},
  };
  RunScript(card, steps);
  ASSERT_EQ(Send(card, "80 CE 00 03 00").sw, 0x9000);
  ASSERT_EQ(Show(Send(card, "00 20 00 01 08 30 30 30 30 30 30 30 30")), "63C2");
}

TEST(Image, RoundTripKeepsEverythingTheCardHolds) {
  Card card;
  ChangeEverything(card);
  const std::vector<uint8_t> image = card.SaveImage();
  EXPECT_NE(image, Card().SaveImage());
  std::optional<Card> loaded = Load(image);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->SaveImage(), image);

  const std::vector<uint8_t> data = {0x11, 0x22, 0x33};
  ASSERT_EQ(Send(card, "00 20 00 01 04 61 62 63 64").sw, 0x9000);
  const Answer signature = Send(card, Apdu(0x80, 0xC2, 0x00, 0x03, data));
  ASSERT_EQ(signature.sw, 0x9000);
  const std::vector<Step> after = {
      {"00 A4 00 0C 02 00 30", "9000"},
      {"80 E0 00 32 07 01 00 04 00 00 00 00", "6982"},
      {"00 A4 00 0C 02 00 01", "9000"},
      {"00 B0 7F FE 02", "AB CD | 9000"},
      {"00 B2 01 14 00", "01 02 03 | 9000"},
      {"00 20 00 01 00", "63C2"},
      {"00 20 00 01 04 61 62 63 64", "9000"},
      {"00 A4 00 0C 02 00 31", "9000"},
      {"00 B2 01 04 00", "EE | 9000"},
      {"80 F4 00 00 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", "9000"},
      {"80 CE 60 09 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF", "BC 0A F6 | 9000"},
      {"80 D4 01 05 0A 01 01 01 02 03 04 05 06 07 08", "6A89"},
  };
  RunScript(*loaded, after);
  EXPECT_EQ(Send(*loaded, Apdu(0x80, 0xC2, 0x00, 0x03, data)).data, signature.data)
      << "the slot's key signs as before (type-1 padding is deterministic)";
}

TEST(Image, SessionStateIsNotKept) {
  Card card;
  ASSERT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  ASSERT_EQ(Send(card, "80 F4 00 00 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F").sw, 0x9000);
  ASSERT_EQ(Send(card, "00 A4 00 0C 02 00 04").sw, 0x9000);
  std::optional<Card> loaded = Load(card.SaveImage());
  ASSERT_TRUE(loaded);
  EXPECT_EQ(Show(Send(*loaded, "00 D6 00 00 01 AA")), "6986") << "the master file is current";
  EXPECT_EQ(Show(Send(*loaded, "00 A4 00 0C 02 00 04")), "9000");
  EXPECT_EQ(Show(Send(*loaded, "00 D6 00 00 01 AA")), "6982");
  EXPECT_EQ(Show(Send(*loaded, "80 F0 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF")), "6985");
}

struct ChangeCase {
  const char* name;
  std::vector<std::string> setup;
  std::string command;
  bool changes;
};

class ChangeReports : public ::testing::TestWithParam<ChangeCase> {};

// TakeChanged reports a command exactly when the image moved.
TEST_P(ChangeReports, FollowTheImage) {
  Card card(CardOptions{0});
  for (const std::string& apdu : GetParam().setup) Send(card, apdu);
  card.TakeChanged();
  const std::vector<uint8_t> before = card.SaveImage();
  Send(card, GetParam().command);
  EXPECT_EQ(card.TakeChanged(), GetParam().changes);
  EXPECT_EQ(card.SaveImage() != before, GetParam().changes);
  EXPECT_FALSE(card.TakeChanged()) << "the report is taken once";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ChangeReports,
    ::testing::Values(
        ChangeCase{"select", {}, "00 A4 00 0C 02 00 01", false},
        ChangeCase{"read", {"00 A4 00 0C 02 00 10"}, "00 B0 00 00 10", false},
        ChangeCase{"update", {"00 A4 00 0C 02 00 10"}, "00 D6 00 00 01 AA", true},
        ChangeCase{"refused_update", {"00 A4 00 0C 02 00 04"}, "00 D6 00 00 01 AA", false},
        ChangeCase{"append", {}, "00 E2 00 10 01 AA", true},
        ChangeCase{"create", {}, "80 E0 00 20 07 01 00 04 00 00 00 00", true},
        ChangeCase{"wrong_passphrase", {}, "00 20 00 01 08 30 30 30 30 30 30 30 30", true},
        ChangeCase{"right_passphrase_with_all_tries", {}, kVerifyPassphrase01, false},
        ChangeCase{"right_passphrase_after_a_wrong_one",
                   {"00 20 00 01 08 30 30 30 30 30 30 30 30"},
                   kVerifyPassphrase01,
                   true},
        ChangeCase{"blocked_passphrase",
                   {"00 20 00 01 02 30 30", "00 20 00 01 02 30 30", "00 20 00 01 02 30 30"},
                   kVerifyPassphrase01,
                   false},
        ChangeCase{"challenge", {}, "00 84 00 00 08", false},
        ChangeCase{"erase_start", {kVerifyPassphrase01}, "80 0E 00 00 00", false},
        ChangeCase{"erase_done", {kVerifyPassphrase01, "80 0E 00 00 00", kPoll}, "80 0E 00 00 00", true},
        ChangeCase{"offline_generation", {"80 CE 00 00 00", kPoll}, "80 CE 00 00 00", false},
        ChangeCase{"slot_generation", {kVerifyPassphrase01, "80 CE 00 02 00", kPoll}, "80 CE 00 02 00", true},
        ChangeCase{
            "cipher_key_load", {}, "80 F4 00 00 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Image, TruncatedOrDamagedImagesAreRefused) {
  const std::vector<uint8_t> image = Card().SaveImage();
  std::vector<std::size_t> cuts;
  for (std::size_t n = 0; n < 80; ++n) cuts.push_back(n);
  for (std::size_t n = 80; n < image.size(); n += 997) cuts.push_back(n);
  for (std::size_t n = image.size() - 40; n < image.size(); ++n) cuts.push_back(n);
  for (std::size_t n : cuts) EXPECT_FALSE(Card::LoadImage(image.data(), n)) << "truncated to " << n;
  for (std::size_t at = 0; at < image.size(); at += 331) {
    std::vector<uint8_t> damaged = image;
    damaged[at] ^= 0x04;
    EXPECT_FALSE(Load(damaged)) << "byte " << at;
  }
  std::vector<uint8_t> longer = image;
  longer.push_back(0x00);
  EXPECT_FALSE(Load(longer));
  EXPECT_FALSE(Card::LoadImage(nullptr, 0));
}

struct Corruption {
  const char* name;
  // Offset from the start (>= 0) or from the digest (< 0).
  long offset;
  uint8_t value;
};

class StructuralCorruption : public ::testing::TestWithParam<Corruption> {};

// Images resealed after the change pass the digest; their contents do not
// pass the card's rules.
TEST_P(StructuralCorruption, IsRefused) {
  std::vector<uint8_t> image = Card().SaveImage();
  ASSERT_TRUE(Load(Reseal(image))) << "a resealed unchanged image loads";
  const long end = static_cast<long>(image.size()) - 32;
  const long at = GetParam().offset >= 0 ? GetParam().offset : end + GetParam().offset;
  ASSERT_NE(image[static_cast<std::size_t>(at)], GetParam().value) << "the change changes something";
  image[static_cast<std::size_t>(at)] = GetParam().value;
  EXPECT_FALSE(Load(Reseal(image)));
}

// Fresh image: header 0-8; key-write condition 9; file count 10-11; the
// master file 12-19; EF 0001 from 20 (size at 28, contents from 30); EF 0002
// from 32798; from the end: 4 empty RSA slots, before them the keys (31
// bytes), before them the passphrases (22 bytes).
INSTANTIATE_TEST_SUITE_P(
    Fields, StructuralCorruption,
    ::testing::Values(
        Corruption{"magic", 0, 'X'}, Corruption{"version", 4, 0x02},
        Corruption{"key_write_condition", 9, 0x30}, Corruption{"no_files", 11, 0x00},
        Corruption{"more_files_than_there_are", 11, 0x07}, Corruption{"master_file_not_a_df", 16, 0x01},
        Corruption{"master_file_with_sfi", 17, 0x01}, Corruption{"master_file_identifier", 13, 0x01},
        Corruption{"duplicate_identifier", 21, 0x02}, Corruption{"unknown_parent", 23, 0x02},
        Corruption{"unknown_file_type", 24, 0x02}, Corruption{"duplicate_sfi", 25, 0x02},
        Corruption{"sfi_31", 25, 0x1F}, Corruption{"bad_access_condition", 26, 0x30},
        Corruption{"empty_record_limit", 32807, 0x00}, Corruption{"record_count_limit", 32806, 0xFF},
        Corruption{"tries_above_maximum", -4 - 31 - 22 + 11, 0x04},
        Corruption{"no_tries", -4 - 31 - 22 + 10, 0x00},
        Corruption{"passphrase_reference_zero", -4 - 31 - 22 + 1, 0x00},
        Corruption{"unknown_key_type", -4 - 31 + 2, 0x04},
        Corruption{"usage_unfit_for_the_type", -4 - 31 + 3, 0x02},
        Corruption{"keys_out_of_order", -4 - 31 + 1, 0x05}, Corruption{"slot_marker", -4, 0x02},
        Corruption{"slot_present_without_key", -1, 0x01}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Image, TrailingBodyBytesAreRefused) {
  std::vector<uint8_t> image = Card().SaveImage();
  image.insert(image.end() - 32, 0x00);
  EXPECT_FALSE(Load(Reseal(FixLength(image))));
}

TEST(Image, InconsistentRsaKeyIsRefused) {
  Card card(CardOptions{0});
  ASSERT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  ASSERT_EQ(Send(card, "80 CE 00 04 00").sw, 0x6FF0);
  ASSERT_EQ(Send(card, kPoll).sw, 0x6D00);
  ASSERT_EQ(Send(card, "80 CE 00 04 00").sw, 0x9000);
  std::vector<uint8_t> image = card.SaveImage();
  ASSERT_TRUE(Load(Reseal(image)));
  // The last slot's p starts after its marker, n and d.
  const std::size_t p = image.size() - 32 - (128 + 128 + 5 * 64) + 256;
  image[p + 10] ^= 0x01;
  EXPECT_FALSE(Load(Reseal(image)));
}

}  // namespace
}  // namespace vcardtest
