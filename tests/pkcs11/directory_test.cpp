// The token directory's codec: what it writes reads back the same, and a
// damaged file is refused whole.
#include <gtest/gtest.h>

#include "token_directory.h"

namespace tarnwick::pkcs11 {
namespace {

TokenDirectory Sample() {
  TokenDirectory dir{"Alice's card", "0123456789ABCDEF", {}, {}};
  dir.keys[1] = {true, {0x01, 0x02}, "signing key", PublicRecord(std::vector<uint8_t>(128, 0xA5))};
  dir.keys[3] = {true, std::vector<uint8_t>(kMaxIdBytes, 0x7F), std::string(kMaxLabelBytes, 'x'),
                 PublicRecord(std::vector<uint8_t>(128, 0x5A))};
  dir.certificates[0] = {true, kFirstCertificateFile, 1024, 700, {0x01, 0x02}, "certificate"};
  dir.certificates[5] = {false, static_cast<uint8_t>(kFirstCertificateFile + 5), 512, 0, {}, {}};
  return dir;
}

TEST(TokenDirectory, WhatIsWrittenReadsBack) {
  const std::vector<uint8_t> bytes = EncodeDirectory(Sample());
  ASSERT_EQ(bytes.size(), kDirectoryBytes);
  auto dir = DecodeDirectory(bytes);
  ASSERT_TRUE(dir);
  EXPECT_EQ(EncodeDirectory(*dir), bytes);
  EXPECT_EQ(dir->label, "Alice's card");
  EXPECT_EQ(dir->keys[1].label, "signing key");
  EXPECT_FALSE(dir->keys[0].in_use);
  EXPECT_EQ(dir->certificates[5].file, kFirstCertificateFile + 5);  // a freed file is kept for reuse
  EXPECT_EQ(RecordModulus(dir->keys[3].public_record)[0], 0x5A);
  EXPECT_EQ(RecordExponent(dir->keys[3].public_record)[2], 0x01);
  auto header = DecodeDirectoryHeader(std::span(bytes).first(kDirectoryHeaderBytes));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->serial, "0123456789ABCDEF");
}

TEST(TokenDirectory, DamagedFilesAreRefused) {
  const std::vector<uint8_t> good = EncodeDirectory(Sample());
  constexpr std::size_t kKey0 = kDirectoryHeaderBytes;
  constexpr std::size_t kKey1 = kKey0 + 202;
  constexpr std::size_t kCert0 = kDirectoryHeaderBytes + 4 * 202;
  const struct {
    const char* what;
    std::size_t offset;
    uint8_t value;
  } cases[] = {
      {"magic", 0, 'X'},
      {"version", 4, 0x02},
      {"key flags", kKey0, 0x02},
      {"identifier length", kKey1 + 1, kMaxIdBytes + 1},
      {"label length", kKey1 + 34, kMaxLabelBytes + 1},
      {"public-key record tag", kKey1 + 67, 0x00},
      {"public exponent", kKey1 + 67 + 134, 0x03},
      {"certificate longer than its file", kCert0 + 4, 0xFF},
      {"certificate in use without a file", kCert0 + 1, 0x00},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes = good;
    bytes[c.offset] = c.value;
    EXPECT_FALSE(DecodeDirectory(bytes)) << c.what;
  }
  EXPECT_FALSE(DecodeDirectory(std::span(good).first(kDirectoryBytes - 1))) << "truncated";
  EXPECT_FALSE(DecodeDirectoryHeader(std::span(good).first(kDirectoryHeaderBytes - 1))) << "short header";
}

}  // namespace
}  // namespace tarnwick::pkcs11
