// Host two-key triple-DES: known answers, agreement with libcrypto's EVP
// des-ede-ecb, parity and weak keys, overlapping buffers, and exactly which
// bytes a length reads and writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <vector>

#include "support/recorder.h"
#include "support/tdes_reference.h"
#include "tarnwick.h"

namespace twtest {
namespace {

std::vector<uint8_t> Encrypt(const std::vector<uint8_t>& key, std::vector<uint8_t> data) {
  EXPECT_EQ(TriDesEncrypt(key.data(), data.data(), data.data(), static_cast<int32_t>(data.size())), 0);
  return data;
}

struct KnownAnswer {
  const char* key;  // K1 then K2
  const char* plain;
  const char* cipher;
};

// With K1 = K2 the result is single DES under K1: the first four rows are
// published single-DES answers.
const KnownAnswer kKnownAnswers[] = {
    {"133457799BBCDFF1 133457799BBCDFF1", "0123456789ABCDEF", "85 E8 13 54 0F 0A B4 05"},
    {"0123456789ABCDEF 0123456789ABCDEF", "4E6F772069732074", "3F A4 0E 8A 98 4D 48 15"},
    {"0123456789ABCDEF 0123456789ABCDEF", "68652074696D6520", "6A 27 17 87 AB 88 83 F9"},
    {"0E329232EA6D0D73 0E329232EA6D0D73", "8787878787878787", "00 00 00 00 00 00 00 00"},
    {"0123456789ABCDEF FEDCBA9876543210", "0123456789ABCDEF", "1A 4D 67 2D CA 6C B3 35"},
    {"0123456789ABCDEF 133457799BBCDFF1", "4E6F772069732074", "AE CD DE B6 6F 8A 31 A6"},
};

TEST(TriDesEncrypt, KnownAnswers) {
  for (const auto& row : kKnownAnswers) {
    EXPECT_EQ(Hex(Encrypt(Bytes(row.key), Bytes(row.plain))), row.cipher)
        << "key " << row.key << ", plaintext " << row.plain;
  }
}

// Every length up to 520 and two long ones: the input holds the length
// rounded up to whole blocks, all of which are encrypted; the output's guard
// bytes past them stay as they were.
TEST(TriDesEncrypt, MatchesEvpOnRandomKeysAndLengths) {
  std::mt19937 rng(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  auto random_bytes = [&](std::size_t n) {
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(byte(rng));
    return v;
  };
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 520; ++n) lengths.push_back(n);
  lengths.insert(lengths.end(), {4096, 65536});
  for (std::size_t n : lengths) {
    const auto key = random_bytes(16);
    const auto plain = random_bytes((n + 7) / 8 * 8);
    std::vector<uint8_t> out(plain.size() + 8, 0xA5);
    ASSERT_EQ(TriDesEncrypt(key.data(), plain.data(), out.data(), static_cast<int32_t>(n)), 0);
    auto expected = ReferenceTriDes(key.data(), plain);
    expected.resize(out.size(), 0xA5);
    ASSERT_EQ(Hex(out), Hex(expected)) << "length " << n << ", key " << Hex(key);
  }
}

TEST(TriDesEncrypt, ParityBitsAndWeakKeysAreNotRefused) {
  const auto key = Bytes("0123456789ABCDEF FEDCBA9876543210");
  auto flipped = key;
  for (auto& b : flipped) b ^= 0x01;
  const auto plain = Bytes("4E6F772069732074 68652074696D6520");
  EXPECT_EQ(Hex(Encrypt(flipped, plain)), Hex(Encrypt(key, plain)));

  // Under a weak key encryption is its own inverse, so with K1 = K2 weak two
  // calls give the plaintext back: the key was used as it stands.
  for (const char* weak : {"0101010101010101", "FEFEFEFEFEFEFEFE", "1F1F1F1F0E0E0E0E"}) {
    const auto weak_key = Bytes(std::string(weak) + weak);
    EXPECT_EQ(Hex(Encrypt(weak_key, Encrypt(weak_key, plain))), Hex(plain)) << weak;
  }
}

struct OverlapCase {
  std::size_t in_at;  // offsets in one buffer
  std::size_t out_at;
  int32_t len;
};

// Input and output in one buffer, the output at, before or after the input,
// by whole blocks or not; lengths with a partial last block included.
const OverlapCase kOverlaps[] = {
    {0, 0, 64},   {5, 5, 13},  {1, 0, 61},  {3, 0, 40},  {8, 0, 33},   {20, 7, 100}, {16, 0, 9},
    {0, 1, 61},   {0, 3, 40},  {0, 8, 33},  {7, 20, 100}, {0, 16, 9},  {0, 7, 1},    {3, 10, 300},
    {10, 3, 300}, {1, 2, 520}, {2, 1, 520},
};

TEST(TriDesEncrypt, OverlappingBuffersGiveTheResultOfSeparateOnes) {
  const auto key = Bytes("0123456789ABCDEF 133457799BBCDFF1");
  for (const auto& row : kOverlaps) {
    std::vector<uint8_t> buffer(600);
    for (std::size_t i = 0; i < buffer.size(); ++i) buffer[i] = static_cast<uint8_t>(i * 7 + i / 256);
    const auto rounded = static_cast<std::ptrdiff_t>((row.len + 7) / 8 * 8);
    const auto in = buffer.begin() + static_cast<std::ptrdiff_t>(row.in_at);
    const auto cipher = ReferenceTriDes(key.data(), std::vector<uint8_t>(in, in + rounded));
    auto expected = buffer;
    std::copy(cipher.begin(), cipher.end(), expected.begin() + static_cast<std::ptrdiff_t>(row.out_at));
    ASSERT_EQ(TriDesEncrypt(key.data(), buffer.data() + row.in_at, buffer.data() + row.out_at, row.len), 0);
    EXPECT_EQ(Hex(buffer), Hex(expected)) << "input at " << row.in_at << ", output at " << row.out_at
                                          << ", length " << row.len;
  }
}

struct ExtentCase {
  const char* name;
  int32_t len;
  std::size_t touched;  // bytes read from the input and written to the output
};

class Extent : public ::testing::TestWithParam<ExtentCase> {};

// The input holds exactly the touched bytes (the sanitizer build catches a
// read past them); the output has guard bytes that must stay as they were.
TEST_P(Extent, ReadsAndWritesWholeBlocksOnly) {
  const auto key = Bytes("0123456789ABCDEF FEDCBA9876543210");
  const std::size_t touched = GetParam().touched;
  std::vector<uint8_t> in(touched);
  for (std::size_t i = 0; i < touched; ++i) in[i] = static_cast<uint8_t>(0x30 + i);
  std::vector<uint8_t> out(touched + 16, 0xA5);
  ASSERT_EQ(TriDesEncrypt(key.data(), in.data(), out.data(), GetParam().len), 0);

  std::vector<uint8_t> expected = ReferenceTriDes(key.data(), in);
  expected.resize(touched + 16, 0xA5);
  EXPECT_EQ(Hex(out), Hex(expected));
}

INSTANTIATE_TEST_SUITE_P(
    TriDesEncrypt, Extent,
    ::testing::Values(ExtentCase{"zero", 0, 0}, ExtentCase{"one", 1, 8}, ExtentCase{"one_block", 8, 8},
                      ExtentCase{"nine", 9, 16}, ExtentCase{"fifteen", 15, 16},
                      ExtentCase{"minus_one", -1, 0}, ExtentCase{"minus_eight", -8, 0},
                      ExtentCase{"most_negative", INT32_MIN, 0}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
