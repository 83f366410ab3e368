// The token directory's codec: what it writes reads back the same, a
// first-version file still reads, and a damaged file is refused whole.
#include <gtest/gtest.h>

#include "token_directory.h"

namespace tarnwick::pkcs11 {
namespace {

TokenDirectory Sample() {
  TokenDirectory dir{"Alice's card", "0123456789ABCDEF", 7, {}, {}};
  dir.keys[1] = {true, false, 3, {0x01, 0x02}, "signing key", PublicRecord(std::vector<uint8_t>(128, 0xA5))};
  dir.keys[3] = {false, true, 1, std::vector<uint8_t>(kMaxIdBytes, 0x7F), std::string(kMaxLabelBytes, 'x'),
                 PublicRecord(std::vector<uint8_t>(128, 0x5A))};
  dir.files[0] = {true, FileKind::kCertificate, false, kFirstObjectFile, 1024, 700, 2, {0x01, 0x02}, "certificate"};
  dir.files[2] = {true, FileKind::kData, true, kFirstObjectFile + 2, 256, 9, 1, {}, "secret note"};
  dir.files[5] = {false, FileKind::kCertificate, false, kFirstObjectFile + 5, 512, 0, 4, {}, {}};
  return dir;
}

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

TEST(TokenDirectory, WhatIsWrittenReadsBack) {
  const std::vector<uint8_t> bytes = EncodeDirectory(Sample());
  ASSERT_EQ(bytes.size(), kDirectoryBytes);
  auto dir = DecodeDirectory(bytes);
  ASSERT_TRUE(dir);
  EXPECT_EQ(EncodeDirectory(*dir), bytes);
  EXPECT_EQ(dir->changes, 7u);
  EXPECT_TRUE(dir->keys[1].has_private && !dir->keys[1].has_public);
  EXPECT_EQ(dir->keys[1].generation, 3);
  EXPECT_FALSE(dir->keys[0].in_use());
  EXPECT_EQ(dir->files[5].file, kFirstObjectFile + 5);  // a freed file is kept for reuse
  EXPECT_EQ(dir->files[5].generation, 4);
  EXPECT_TRUE(dir->files[2].private_file);
  EXPECT_EQ(dir->files[2].kind, FileKind::kData);
  EXPECT_EQ(RecordModulus(dir->keys[3].public_record)[0], 0x5A);
  EXPECT_EQ(RecordExponent(dir->keys[3].public_record)[2], 0x01);
  auto header = DecodeDirectoryHeader(std::span(bytes).first(kDirectoryHeaderBytes));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->serial, "0123456789ABCDEF");
  EXPECT_EQ(header->changes, 7u);
}

// A directory the first version wrote: one key pair in slot 2, one
// certificate, and no counters.
TEST(TokenDirectory, FirstVersionStillReads) {
  std::string header = "5457544401" "4F6C6431";  // "TWTD", version 1, the label "Old1"
  for (int i = 0; i < 28; ++i) header += "20";
  std::vector<uint8_t> bytes = FromHex(header + "30303030303030303030303030303031");
  bytes.resize(kDirectoryBytes, 0);
  const std::size_t key2 = 53 + 202;
  bytes[key2] = 0x01;
  bytes[key2 + 1] = 1;
  bytes[key2 + 2] = 0x42;
  std::string modulus;
  for (int i = 0; i < 128; ++i) modulus += "B7";
  const auto record = FromHex("6E80" + modulus + "6503010001");  // as the card answers it
  std::copy(record.begin(), record.end(), bytes.begin() + key2 + 67);
  const std::size_t cert0 = 53 + 4 * 202;
  const auto cert = FromHex("0161040002BC");
  std::copy(cert.begin(), cert.end(), bytes.begin() + cert0);
  auto dir = DecodeDirectory(bytes);
  ASSERT_TRUE(dir);
  EXPECT_FALSE(dir->changes);
  EXPECT_EQ(dir->label, "Old1");
  EXPECT_TRUE(dir->keys[1].has_private && dir->keys[1].has_public);
  EXPECT_EQ(dir->keys[1].id, std::vector<uint8_t>{0x42});
  EXPECT_EQ(RecordModulus(dir->keys[1].public_record)[127], 0xB7);
  EXPECT_TRUE(dir->files[0].in_use);
  EXPECT_EQ(dir->files[0].length, 700);
  auto again = DecodeDirectory(EncodeDirectory(*dir));  // written back as the current version
  ASSERT_TRUE(again);
  EXPECT_EQ(again->keys[1].public_record, dir->keys[1].public_record);
}

TEST(TokenDirectory, DamagedFilesAreRefused) {
  const std::vector<uint8_t> good = EncodeDirectory(Sample());
  constexpr std::size_t kKey0 = kDirectoryHeaderBytes;
  constexpr std::size_t kKey1 = kKey0 + 197;
  constexpr std::size_t kFile0 = kDirectoryHeaderBytes + 4 * 197;
  const struct {
    const char* what;
    std::size_t offset;
    uint8_t value;
  } cases[] = {
      {"magic", 0, 'X'},
      {"version", 4, 0x03},
      {"key flags", kKey0, 0x04},
      {"identifier length", kKey1 + 3, kMaxIdBytes + 1},
      {"label length", kKey1 + 36, kMaxLabelBytes + 1},
      {"file flags", kFile0, 0x08},
      {"content longer than its file", kFile0 + 4, 0xFF},
      {"in use without a file", kFile0 + 1, 0x00},
      {"file outside the module's", kFile0 + 1, 0x05},
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
