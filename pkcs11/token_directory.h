// The token directory: one transparent EF under the master file that keeps
// what the card itself cannot tell (labels, identifiers, public keys, the
// files of certificates and data objects), with its fixed byte layout
// (docs/pkcs11.md).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "protocol/public_key_record.h"

namespace tarnwick::pkcs11 {

constexpr uint8_t kDirectoryFile = 0x60;
constexpr uint8_t kFirstObjectFile = 0x61;
constexpr std::size_t kKeySlots = 4;
constexpr std::size_t kFileEntries = 8;
constexpr std::size_t kMaxIdBytes = 32;
constexpr std::size_t kMaxLabelBytes = 32;
constexpr std::size_t kTokenLabelBytes = 32;
constexpr std::size_t kSerialBytes = 16;
constexpr std::size_t kPublicRecordBytes = record::kCardRecordBytes;
// Enough of the file for the label, the serial and the change counter.
constexpr std::size_t kDirectoryHeaderBytes = 57;
// Both versions fill the file the first version created.
constexpr std::size_t kDirectoryBytes = 1437;

struct KeyEntry {
  // The pair's two objects are destroyed one by one; the key slot is free
  // again when both are gone.
  bool has_private = false;
  bool has_public = false;
  uint16_t generation = 0;  // counts the pairs made in this slot, for handles
  std::vector<uint8_t> id;
  std::string label;
  std::array<uint8_t, kPublicRecordBytes> public_record{};
  bool in_use() const { return has_private || has_public; }
};

enum class FileKind : uint8_t { kCertificate, kData };

// A certificate or data object kept in a file of its own.
struct FileEntry {
  bool in_use = false;
  FileKind kind = FileKind::kCertificate;
  bool private_file = false;  // readable after the user's passphrase only; kept when freed
  uint8_t file = 0;           // 0: no file made yet
  uint16_t capacity = 0;      // the file's size
  uint16_t length = 0;        // the content's length
  uint16_t generation = 0;
  std::vector<uint8_t> id;
  std::string label;
};

struct TokenDirectory {
  std::string label;   // up to 32 bytes
  std::string serial;  // 16 characters
  // Counts the directory's writes, so a reader knows whether its copy is
  // current; nullopt for a first-version directory, which has none.
  std::optional<uint32_t> changes;
  std::array<KeyEntry, kKeySlots> keys;
  std::array<FileEntry, kFileEntries> files;
};

// The label, serial and change counter alone, from the directory's first
// bytes.
struct DirectoryHeader {
  std::string label;
  std::string serial;
  std::optional<uint32_t> changes;
};

// Always the current version.
std::vector<uint8_t> EncodeDirectory(const TokenDirectory& directory);
// Either version.
std::optional<TokenDirectory> DecodeDirectory(std::span<const uint8_t> bytes);
std::optional<DirectoryHeader> DecodeDirectoryHeader(std::span<const uint8_t> bytes);

// The card's own form of the public-key record (protocol/public_key_record.h).
std::array<uint8_t, kPublicRecordBytes> PublicRecord(std::span<const uint8_t> modulus);
std::span<const uint8_t> RecordModulus(const std::array<uint8_t, kPublicRecordBytes>& record);
std::span<const uint8_t> RecordExponent(const std::array<uint8_t, kPublicRecordBytes>& record);

// A data object's file: its application, its object identifier and its value.
struct DataContent {
  std::vector<uint8_t> application, object_id, value;
};
std::vector<uint8_t> EncodeData(const DataContent& data);
std::optional<DataContent> DecodeData(std::span<const uint8_t> bytes);

}  // namespace tarnwick::pkcs11
