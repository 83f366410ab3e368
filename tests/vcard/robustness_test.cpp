// Seeded fuzzing of the card: tens of thousands of valid, mutated and
// random APDUs with resets in between. Every answer must be a status word
// the card defines with at most 255 data bytes, the state must stay one
// the image accepts, and the card must answer correctly afterwards.
#include <openssl/evp.h>

#include <random>
#include <set>

#include "card_test_support.h"

namespace vcardtest {
namespace {

// Commands of every kind, some as sequences that reach deeper states.
const std::vector<std::vector<std::string>> kCorpus = {
    {"00 A4 00 00 02 00 01 00"},
    {"00 A4 00 0C 02 00 02"},
    {"00 A4 00 0C 02 00 10"},
    {"00 A4 00 00 02 3F 00 00"},
    {"00 A4 03 0C 00"},
    {"00 A4 01 0C 02 00 30"},
    {"00 B0 00 00 80"},
    {"00 B0 00 F0 20"},
    {"00 B0 82 00 04"},
    {"00 D6 00 10 04 01 02 03 04"},
    {"00 D6 7F F0 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"},
    {"00 E2 00 10 03 01 02 03"},
    {"00 E2 00 00 02 AA BB"},
    {"00 B2 01 14 00"},
    {"00 B2 02 04 08"},
    {"00 DC 01 14 02 CC DD"},
    {"80 E0 00 30 07 38 00 00 00 00 00 00"},
    {"80 E0 00 31 07 01 00 40 00 00 03 00"},
    {"80 E0 00 32 07 04 05 20 00 00 04 00"},
    {"80 E0 3F 00 0D 38 FF FF 00 00 FF FF FF FF FF FF FF FF"},
    {"80 0E 00 00 00", kPoll, kPoll, "80 0E 00 00 00"},
    {kPoll},
    {"00 20 00 01 08 30 30 30 30 30 30 30 30"},
    {"00 20 00 01 00"},
    {"80 24 00 01 10 30 30 30 30 30 30 30 30 61 62 63 64 65 66 67 68"},
    {"80 2C 00 01 10 30 30 30 30 30 30 30 30 61 62 63 64 65 66 67 68"},
    {"80 D4 01 03 0A 01 01 01 02 03 04 05 06 07 08"},
    {"80 D4 01 07 12 03 02 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F"},
    {"00 84 00 00 08", "00 82 00 01 08 00 00 00 00 00 00 00 00"},
    {"00 84 00 00 10"},
    {"80 C2 00 01 03 01 02 03"},
    {"80 C8 00 01 80 " + Hex(std::vector<uint8_t>(128, 0x11))},
    {"80 C4 00 10 80 " + Hex(std::vector<uint8_t>(128, 0x22))},
    {"80 C6 00 00 04 01 02 03 04"},
    {"80 CC 00 87 87 6E 80 " + Hex(std::vector<uint8_t>(127, 0xC3)) + " 01 65 03 01 00 01 20"},
    {"80 CE 00 02 00", kPoll, kPoll},
    {"80 CE 00 00 00"},
    {"10 02 00 00 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF"},
    {"80 F4 00 00 10 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F",
     "80 F0 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"},
    {"80 CE 20 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF",
     "80 FA 00 00 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"},
    {"80 CE 60 07 10 00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"},
    {"80 CC 00 03 03 61 62 63"},
    {"80 CC 3F FF 40 " + Hex(std::vector<uint8_t>(64, 0x61)),
     "80 CC BF FF 40 " + Hex(std::vector<uint8_t>(64, 0x62)), "80 CC 80 81 01 63"},
    {"80 14 00 00 01 FF"},
};

// With these the fuzzer can also unlock the guarded commands.
const std::vector<std::vector<std::string>> kSecrets = {
    {kVerifyPassphrase01},
    {"80 2C 00 01 10 38 37 36 35 34 33 32 31 31 32 33 34 35 36 37 38"},
};

// Card answers: the status words the card defines (0x6F00, an internal
// failure, is not among them).
bool IsDefinedStatus(uint16_t sw) {
  static const std::set<uint16_t> known = {0x9000, 0x6282, 0x6300, 0x6700, 0x6881, 0x6882, 0x6884, 0x6981,
                                           0x6982, 0x6983, 0x6984, 0x6985, 0x6986, 0x6A80, 0x6A82, 0x6A83,
                                           0x6A84, 0x6A86, 0x6A88, 0x6A89, 0x6B00, 0x6D00, 0x6E00, 0x6FF0};
  return known.contains(sw) || (sw & 0xFFF0) == 0x63C0;
}

class Fuzzer {
 public:
  Fuzzer(uint32_t seed, bool with_secrets) : rng_(seed) {
    corpus_ = kCorpus;
    if (with_secrets) corpus_.insert(corpus_.end(), kSecrets.begin(), kSecrets.end());
  }

  void Run(Card& card, int commands) {
    for (int i = 0; i < commands;) {
      const int roll = Below(1000);
      if (roll < 15) {
        card.Reset();
        ++i;
        continue;
      }
      for (const std::vector<uint8_t>& apdu : Next(roll)) {
        Check(card.Process(apdu.data(), apdu.size()), apdu);
        ++i;
      }
      if (i % 2500 < 3) CheckImage(card);
    }
    CheckImage(card);
  }

 private:
  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  uint8_t Byte() { return static_cast<uint8_t>(Below(256)); }

  std::vector<std::vector<uint8_t>> Next(int roll) {
    const auto& entry = corpus_[static_cast<std::size_t>(Below(static_cast<int>(corpus_.size())))];
    std::vector<std::vector<uint8_t>> out;
    for (const std::string& hex : entry) out.push_back(Bytes(hex));
    if (roll < 450) return out;
    if (roll < 850) {
      for (auto& apdu : out) Mutate(apdu);
      return out;
    }
    return {Random()};
  }

  void Mutate(std::vector<uint8_t>& apdu) {
    const int edits = 1 + Below(3);
    for (int e = 0; e < edits; ++e) {
      switch (Below(6)) {
        case 0:
          if (!apdu.empty()) apdu[static_cast<std::size_t>(Below(static_cast<int>(apdu.size())))] = Byte();
          break;
        case 1:
          if (apdu.size() > 4) apdu[static_cast<std::size_t>(2 + Below(3))] = Byte();
          break;
        case 2:
          apdu.resize(static_cast<std::size_t>(Below(static_cast<int>(apdu.size()) + 1)));
          break;
        case 3:
          for (int n = Below(8); n > 0; --n) apdu.push_back(Byte());
          break;
        case 4:
          if (apdu.size() > 4) apdu[4] = static_cast<uint8_t>(apdu.size() - 5 + Below(3) - 1);
          break;
        default:
          if (!apdu.empty())
            apdu[0] = std::array<uint8_t, 4>{0x00, 0x80, 0x10, Byte()}[static_cast<std::size_t>(Below(4))];
          break;
      }
    }
  }

  std::vector<uint8_t> Random() {
    std::vector<uint8_t> apdu(static_cast<std::size_t>(Below(300)));
    for (uint8_t& b : apdu) b = Byte();
    if (apdu.size() >= 5 && Below(2) == 0) {
      apdu[0] = Below(2) ? 0x00 : 0x80;
      apdu[4] = static_cast<uint8_t>(apdu.size() - 5);
    }
    return apdu;
  }

  static void Check(const Answer& a, const std::vector<uint8_t>& apdu) {
    ASSERT_LE(a.data.size(), 255u) << Hex(apdu);
    ASSERT_TRUE(IsDefinedStatus(a.sw)) << Show(a) << " for " << Hex(apdu);
    ASSERT_TRUE(a.data.empty() || a.sw == 0x9000 || a.sw == 0x6282) << Show(a) << " for " << Hex(apdu);
  }

  // The image loader accepts only consistent contents, and its round trip
  // is exact.
  static void CheckImage(const Card& card) {
    const std::vector<uint8_t> image = card.SaveImage();
    std::optional<Card> loaded = Card::LoadImage(image.data(), image.size());
    ASSERT_TRUE(loaded);
    ASSERT_EQ(loaded->SaveImage(), image);
  }

  std::mt19937 rng_;
  std::vector<std::vector<std::string>> corpus_;
};

const std::vector<uint8_t> kKnown = Bytes("5A A5 0F F0 C3 3C 96 69");

TEST(Robustness, WithoutSecretsTheGuardedFileSurvives) {
  Card card(CardOptions{1});
  ASSERT_EQ(Send(card, kVerifyPassphrase01).sw, 0x9000);
  ASSERT_EQ(Send(card, "00 A4 00 0C 02 00 04").sw, 0x9000);
  ASSERT_EQ(Send(card, Apdu(0x00, 0xD6, 0x00, 0x00, kKnown)).sw, 0x9000);
  card.Reset();
  Fuzzer(20240611, false).Run(card, 25000);
  card.Reset();
  EXPECT_EQ(Show(Send(card, "00 A4 00 0C 02 3F 00")), "9000");
  EXPECT_EQ(Show(Send(card, "00 A4 00 0C 02 00 04")), "9000");
  EXPECT_EQ(Show(Send(card, "00 B0 00 00 08")), Hex(kKnown) + " | 9000");
  EXPECT_EQ(Show(Send(card, "00 D6 00 00 01 00")), "6982");
}

// With the passphrase in the corpus files get erased and re-created, keys
// written and slots filled; afterwards the card still works as a card.
TEST(Robustness, WithSecretsTheCardStillWorks) {
  Card card(CardOptions{1});
  Fuzzer(77, true).Run(card, 25000);
  card.Reset();
  EXPECT_EQ(Show(Send(card, "00 A4 00 0C 02 3F 00")), "9000");
  EXPECT_EQ(Show(Send(card, "80 CC 00 03 03 61 62 63")),
            "A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D | 9000");
  EXPECT_EQ(Show(Send(card, "10 02 00 00 10 13 34 57 79 9B BC DF F1 01 23 45 67 89 AB CD EF")),
            "85 E8 13 54 0F 0A B4 05 | 9000");
  EXPECT_EQ(Show(Send(card, kPoll)), "6D00");
}

// Images with random bytes changed and the digest made right again: the
// loader never crashes, and what it accepts saves back byte for byte.
TEST(Robustness, ResealedRandomImagesAreRejectedOrExact) {
  Card card(CardOptions{0});
  RunScript(card, {{kVerifyPassphrase01, "9000"},
                   {"80 0E 00 00 00", "6FF0"},
                   {kPoll, "6D00"},
                   {"80 0E 00 00 00", "9000"},
                   {"80 E0 00 01 07 01 00 10 00 11 01 00", "9000"},
                   {"80 E0 00 02 07 04 04 08 00 00 02 00", "9000"},
                   {"00 E2 00 10 02 01 02", "9000"},
                   {"80 E0 00 30 07 38 00 00 11 00 00 00", "9000"},
                   {"80 E0 00 31 07 01 00 08 21 22 00 00", "9000"}});
  const std::vector<uint8_t> image = card.SaveImage();
  std::mt19937 rng(5);
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    std::vector<uint8_t> mutated = image;
    const int edits = 1 + static_cast<int>(rng() % 3);
    for (int e = 0; e < edits; ++e)
      mutated[9 + rng() % (mutated.size() - 9 - 32)] = static_cast<uint8_t>(rng());
    unsigned int len = 0;
    EVP_Digest(mutated.data(), mutated.size() - 32, mutated.data() + mutated.size() - 32, &len, EVP_sha256(),
               nullptr);
    std::optional<Card> loaded = Card::LoadImage(mutated.data(), mutated.size());
    if (!loaded) continue;
    ++accepted;
    ASSERT_EQ(loaded->SaveImage(), mutated);
    ASSERT_EQ(Send(*loaded, "00 A4 00 0C 02 3F 00").sw, 0x9000);
  }
  EXPECT_GT(accepted, 0) << "some changes (file contents) are legitimate";
}

}  // namespace
}  // namespace vcardtest
