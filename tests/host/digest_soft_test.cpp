// The software digest: known answers derived once by digest_reference.py
// (lengths around every padding boundary), agreement with a step-by-step
// model on many messages, the folded 8- and 4-byte outputs, types that write
// nothing, and that exactly the message's bytes are read.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "support/recorder.h"
#include "tarnwick.h"

namespace twtest {
namespace {

// Byte i is (7 * i + 3) mod 256, as in digest_reference.py. Exactly n bytes,
// so that a sanitizer sees any read past the message.
std::vector<uint8_t> CountingBytes(std::size_t n) {
  std::vector<uint8_t> msg(n);
  for (std::size_t i = 0; i < n; ++i) msg[i] = static_cast<uint8_t>(7 * i + 3);
  return msg;
}

// The whole 16-byte output buffer after the call, so that bytes a short
// output leaves alone show as EE.
std::string DigestHex(const uint8_t* msg, std::size_t n, int32_t type) {
  std::vector<uint8_t> out(16, 0xEE);
  EXPECT_EQ(softDHADigest(msg, static_cast<uint32_t>(n), out.data(), type), 0);
  return Hex(out);
}
std::string DigestHex(const std::vector<uint8_t>& msg, int32_t type = 16) {
  return DigestHex(msg.data(), msg.size(), type);
}

// The digest as defined, one step at a time: the padded message built in
// full, the 80-word schedule, all four chaining words updated every step.
std::string ModelDigestHex(const std::vector<uint8_t>& msg) {
  const auto len = static_cast<uint32_t>(msg.size());
  std::vector<uint8_t> padded = msg;
  padded.push_back(0x80);
  padded.resize(64 * (len / 64 + 1 + (len % 64 > 56 ? 1 : 0)), 0);
  for (int i = 0; i < 4; ++i)
    padded[padded.size() - 4 + i] = static_cast<uint8_t>((len * 8u) >> (24 - 8 * i));
  std::array<uint32_t, 4> h = {0x5A3C9E17, 0x2F81D4B6, 0xC47E0A93, 0x91B6F25D};
  const uint32_t k[5] = {0x3E6A1C85, 0x74D2B90F, 0xA81F5E36, 0x0C9B47E2, 0xE5307DA9};
  for (std::size_t block = 0; block < padded.size(); block += 64) {
    uint32_t w[80];
    for (int i = 0; i < 16; ++i) {
      const uint8_t* p = &padded[block + 4 * i];
      w[i] = uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    }
    for (int i = 16; i < 80; ++i) w[i] = std::rotl(w[i - 16] ^ w[i - 11] ^ w[i - 6] ^ w[i - 5], 1);
    uint32_t a = h[0], b = h[1], c = h[2], d = h[3];
    for (int t = 0; t < 80; ++t) {
      const uint32_t A = std::rotl(c, 3);
      const uint32_t f = t % 4 == 0   ? A ^ a ^ b
                         : t % 4 == 1 ? (A & ~a) | (a & b)
                         : t % 4 == 2 ? (~A | a) ^ b
                                      : (A & (a | b)) | (a & b);
      const uint32_t T = f + w[t] + k[t % 5] + d;
      d = c;
      c = b;
      b = std::rotl(a, 23);
      a = T;
      h[0] += a, h[1] += b, h[2] += c, h[3] += d;
    }
  }
  std::vector<uint8_t> out;
  for (uint32_t word : h)
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(word >> shift));
  return Hex(out);
}

struct KnownAnswer {
  std::size_t len;
  const char* digest;
};

class KnownAnswers : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(KnownAnswers, LibraryAndModelAgreeWithTheReference) {
  const std::vector<uint8_t> msg = CountingBytes(GetParam().len);
  EXPECT_EQ(DigestHex(msg), GetParam().digest);
  EXPECT_EQ(ModelDigestHex(msg), GetParam().digest);
}

// 55 and 56 pad within their block, 57 to 63 need a second one, 64 pads a
// block of its own; 119 to 121 repeat the cut one block on.
INSTANTIATE_TEST_SUITE_P(
    Digest, KnownAnswers,
    ::testing::Values(KnownAnswer{0, "0B BF DA 36 13 1D F7 18 DE D9 08 03 5C 33 B0 47"},
                      KnownAnswer{1, "DD 89 06 8D B6 7F F4 FB 1D 7A 35 50 EF 01 3F 2A"},
                      KnownAnswer{3, "27 09 2A E2 2A 7F 59 87 80 A9 D7 EB 99 E6 5B D2"},
                      KnownAnswer{55, "F7 6F 22 F9 80 53 8C F7 83 43 9F CD 95 F6 C0 CA"},
                      KnownAnswer{56, "CF C3 79 06 06 61 E8 B8 3D 81 EB 9C 4C 29 14 A8"},
                      KnownAnswer{57, "7C 07 FB 30 E6 24 97 C6 AE 25 56 47 42 18 D9 0F"},
                      KnownAnswer{58, "48 F8 C8 61 0A B7 A7 BD 89 7E BC DA 96 E5 03 33"},
                      KnownAnswer{59, "C2 48 AE 7A EE AF 7C 0A 3E 63 C2 5C A5 AE 1D 2E"},
                      KnownAnswer{60, "0A 5B 49 E3 2F 1B 9D 3F 59 C9 3E A0 41 CB 89 78"},
                      KnownAnswer{63, "12 38 2E EB CE BB 97 30 A0 25 18 99 0E 3D 75 49"},
                      KnownAnswer{64, "43 4A 1A C8 6F A7 6F 64 AC 49 38 7B 36 E0 F3 FA"},
                      KnownAnswer{65, "6B 48 64 CD 46 DF 78 1E C3 B0 A5 AB B8 0C E5 29"},
                      KnownAnswer{119, "8B A3 9D 1A 1C 55 BB 69 25 D0 73 12 EF 4B A4 75"},
                      KnownAnswer{120, "FE F9 4F 69 8F B6 5B 9A 59 D7 19 73 79 64 5B CF"},
                      KnownAnswer{121, "09 B9 FE C8 35 6B 49 EE 06 6D 4F 69 2A 01 46 30"},
                      KnownAnswer{128, "89 F6 40 79 9A 12 4C CF EC F9 20 22 6F 53 2E F1"},
                      KnownAnswer{1000, "E3 D3 E2 97 F3 57 68 95 4F 51 64 41 F5 5C 13 76"},
                      KnownAnswer{65536, "D5 1F 0E 25 4E D0 91 B6 16 A3 47 DB 85 47 AC AB"}));

struct TypeCase {
  int32_t type;
  const char* buffer;  // the whole 16-byte buffer after digesting "abc"
};

class OutputTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(OutputTypes, WritesOnlyItsSize) {
  EXPECT_EQ(DigestHex({'a', 'b', 'c'}, GetParam().type), GetParam().buffer);
}

INSTANTIATE_TEST_SUITE_P(
    Digest, OutputTypes,
    ::testing::Values(TypeCase{16, "93 14 3F 05 5C E6 2A 8C 03 33 0A 4E 0B 51 42 0E"},
                      TypeCase{8, "CF F2 15 89 08 62 48 40 EE EE EE EE EE EE EE EE"},
                      TypeCase{4, "C7 90 5D C9 EE EE EE EE EE EE EE EE EE EE EE EE"},
                      TypeCase{5, "EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE"},
                      TypeCase{0, "EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE"},
                      TypeCase{32, "EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE"},
                      TypeCase{-16, "EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE EE"}));

class Folding : public ::testing::TestWithParam<std::size_t> {};

// 8 bytes: bytes 0-3 XOR 4-7, then 8-11 XOR 12-15; 4 bytes: the two halves
// of the 8-byte output XORed.
TEST_P(Folding, ShortOutputsFoldTheLongOne) {
  const std::vector<uint8_t> msg = CountingBytes(GetParam());
  const std::vector<uint8_t> full = Bytes(DigestHex(msg, 16));
  const std::vector<uint8_t> eight = Bytes(DigestHex(msg, 8));
  const std::vector<uint8_t> four = Bytes(DigestHex(msg, 4));
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(eight[i], full[i] ^ full[4 + i]);
    EXPECT_EQ(eight[4 + i], full[8 + i] ^ full[12 + i]);
    EXPECT_EQ(four[i], eight[i] ^ eight[4 + i]);
  }
}

INSTANTIATE_TEST_SUITE_P(Digest, Folding, ::testing::Values(0, 55, 56, 57, 63, 64, 1000));

// The block function is arranged for speed; the model is the plain reading.
TEST(Digest, AgreesWithTheStepByStepModel) {
  std::mt19937 random(20240607);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  lengths.insert(lengths.end(), {4096 + 17, 99999});
  for (std::size_t n : lengths) {
    std::vector<uint8_t> msg(n);
    for (auto& byte : msg) byte = static_cast<uint8_t>(random());
    ASSERT_EQ(DigestHex(msg), ModelDigestHex(msg)) << "length " << n;
  }
}

TEST(Digest, ReadsOnlyTheGivenLength) {
  for (std::size_t n : {40, 128}) {
    std::vector<uint8_t> zeros = CountingBytes(n), ones = CountingBytes(n);
    zeros.resize(200, 0x00);
    ones.resize(200, 0xFF);
    EXPECT_EQ(DigestHex(zeros.data(), n, 16), DigestHex(CountingBytes(n)));
    EXPECT_EQ(DigestHex(ones.data(), n, 16), DigestHex(CountingBytes(n)));
  }
}

TEST(Digest, ReservedTypeNumbers) {
  for (int32_t type : {2, 3}) EXPECT_EQ(QorDigestProc(type), 0) << type;
  for (int32_t type : {0, 1, 4, 8, 16, -1, -2, INT_MIN, INT_MAX})
    EXPECT_EQ(QorDigestProc(type), 1) << type;
}

}  // namespace
}  // namespace twtest
