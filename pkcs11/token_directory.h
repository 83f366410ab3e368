// The token directory: one transparent EF under the master file that keeps
// what the card itself cannot tell (labels, identifiers, public keys, the
// certificates' files), with its fixed byte layout (docs/pkcs11.md).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::pkcs11 {

constexpr uint8_t kDirectoryFile = 0x60;
constexpr uint8_t kFirstCertificateFile = 0x61;
constexpr std::size_t kKeySlots = 4;
constexpr std::size_t kCertificateEntries = 8;
constexpr std::size_t kMaxIdBytes = 32;
constexpr std::size_t kMaxLabelBytes = 32;
constexpr std::size_t kTokenLabelBytes = 32;
constexpr std::size_t kSerialBytes = 16;
constexpr std::size_t kPublicRecordBytes = 135;
constexpr std::size_t kDirectoryHeaderBytes = 53;
constexpr std::size_t kDirectoryBytes = 1437;

struct KeyEntry {
  bool in_use = false;
  std::vector<uint8_t> id;
  std::string label;
  std::array<uint8_t, kPublicRecordBytes> public_record{};
};

struct CertificateEntry {
  bool in_use = false;
  uint8_t file = 0;        // 0: no file made yet
  uint16_t capacity = 0;   // the file's size
  uint16_t length = 0;     // the DER's length
  std::vector<uint8_t> id;
  std::string label;
};

struct TokenDirectory {
  std::string label;   // up to 32 bytes
  std::string serial;  // 16 characters
  std::array<KeyEntry, kKeySlots> keys;
  std::array<CertificateEntry, kCertificateEntries> certificates;
};

// The label and serial alone, from the directory's first bytes.
struct DirectoryHeader {
  std::string label;
  std::string serial;
};

std::vector<uint8_t> EncodeDirectory(const TokenDirectory& directory);
std::optional<TokenDirectory> DecodeDirectory(std::span<const uint8_t> bytes);
std::optional<DirectoryHeader> DecodeDirectoryHeader(std::span<const uint8_t> bytes);

// The public-key record the card answers at generation: 6E 80 n 65 03 e.
std::array<uint8_t, kPublicRecordBytes> PublicRecord(std::span<const uint8_t> modulus);
std::span<const uint8_t> RecordModulus(const std::array<uint8_t, kPublicRecordBytes>& record);
std::span<const uint8_t> RecordExponent(const std::array<uint8_t, kPublicRecordBytes>& record);

}  // namespace tarnwick::pkcs11
