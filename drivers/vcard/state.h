// Everything the card holds: the persistent contents that the image keeps,
// and the transient state that a reset clears.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "card.h"
#include "protocol/public_key_record.h"

namespace tarnwick::vcard {

// File descriptor bytes, as ISO/IEC 7816-4 codes them.
enum class FileType : uint8_t {
  kTransparent = 0x01,
  kLinearVariable = 0x04,
  kDirectory = 0x38,
};

constexpr uint16_t kMasterFile = 0x3F00;
// The parent of the master file.
constexpr uint16_t kNoParent = 0xFFFF;

struct File {
  uint16_t fid = 0;
  uint16_t parent = kNoParent;
  FileType type = FileType::kTransparent;
  uint8_t sfi = 0;  // 0: none
  // Access conditions (access.h). EFs: reading, and updating or appending.
  uint8_t read_ac = 0;
  uint8_t update_ac = 0;
  // DFs: creating a file in it, and erasing its contents.
  uint8_t create_ac = 0;
  uint8_t erase_ac = 0;
  // Transparent EFs: the contents, at the file's fixed size.
  std::vector<uint8_t> body;
  // Record EFs.
  uint8_t max_records = 0;
  uint8_t max_record_length = 0;
  std::vector<std::vector<uint8_t>> records;
};

constexpr std::size_t kPassphraseLength = 8;

struct Passphrase {
  std::array<uint8_t, kPassphraseLength> value{};
  uint8_t tries_max = 0;
  uint8_t tries_left = 0;
  std::array<uint8_t, kPassphraseLength> unblock{};
  uint8_t unblock_max = 0;
  uint8_t unblock_left = 0;
};

enum class KeyType : uint8_t {
  kDes = 0x01,        // 8 bytes
  kTripleDes = 0x02,  // two-key triple-DES, K1 then K2
  kCdea = 0x03,       // the card's CDEA cipher
};

// Usage bits of a key.
constexpr uint8_t kUsageExternalAuth = 0x01;
constexpr uint8_t kUsageCipherMaster = 0x02;

struct Key {
  KeyType type = KeyType::kDes;
  uint8_t usage = 0;
  std::vector<uint8_t> value;
};

constexpr std::size_t kRsaBytes = record::kCardModulusBytes;
constexpr std::size_t kRsaHalfBytes = kRsaBytes / 2;
constexpr std::size_t kKeySlots = 4;

// An RSA-1024 private key with e = 65537, every value left-padded to its
// fixed width.
struct RsaPrivateKey {
  std::array<uint8_t, kRsaBytes> n{};
  std::array<uint8_t, kRsaBytes> d{};
  std::array<uint8_t, kRsaHalfBytes> p{};
  std::array<uint8_t, kRsaHalfBytes> q{};
  std::array<uint8_t, kRsaHalfBytes> dp{};
  std::array<uint8_t, kRsaHalfBytes> dq{};
  std::array<uint8_t, kRsaHalfBytes> qinv{};
};

struct Persistent {
  std::vector<File> files;  // files[0] is the master file; parents come first
  uint8_t key_write_ac = 0;
  std::map<uint8_t, Passphrase> passphrases;
  std::map<uint8_t, Key> keys;
  std::array<std::optional<RsaPrivateKey>, kKeySlots> key_slots;
};

// A public key as the RSA commands use it: modulus and exponent bytes.
struct RsaPublicKey {
  std::vector<uint8_t> n;
  std::vector<uint8_t> e;
};

// Counts the polls of a long command: busy for a set number, then ready.
struct BusyPhase {
  int polls_left = 0;
  bool ready = false;
};

struct PendingErase {
  BusyPhase busy;
};

struct PendingKeyGeneration {
  uint8_t key_slot = 0;  // 0: offline, the key goes to the host
  BusyPhase busy;
  std::optional<RsaPrivateKey> key;  // once generated
  int answers_given = 0;
};

struct Sha1Chain {
  std::vector<uint8_t> message;
};

using LongOperation = std::variant<std::monostate, PendingErase, PendingKeyGeneration, Sha1Chain>;

// What the card holds from one reset to the next.
struct Transient {
  uint16_t current = kMasterFile;
  std::bitset<256> verified;       // passphrase references
  std::bitset<256> authenticated;  // key identifiers
  std::optional<std::array<uint8_t, 8>> challenge;
  std::optional<RsaPublicKey> loaded_public_key;
  std::optional<std::array<uint8_t, 16>> cipher_key;
  std::optional<std::array<uint8_t, 16>> session_key;
  LongOperation pending;
};

struct CardState {
  CardOptions options;
  Persistent card;
  Transient transient;
  bool changed = false;
  DurableSave durable_save;
};

// Saves the persistent contents now, through the durable save when the
// card has one; false when they could not be kept. Clears `changed` once
// they are.
bool MakeDurable(CardState& state);

}  // namespace tarnwick::vcard
