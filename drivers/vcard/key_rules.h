// What makes a symmetric key or a passphrase entry valid, shared by the
// write-key command and the image loader.
#pragma once

#include <cstddef>
#include <cstdint>

#include "state.h"

namespace tarnwick::vcard {

constexpr std::size_t kMaxKeys = 32;
constexpr std::size_t kMaxPassphrases = 16;
// A try counter fits the low nibble of 0x63Cx.
constexpr uint8_t kMaxTries = 15;

// The value length of a key type, or 0 for an unknown type byte.
std::size_t KeyLength(uint8_t type);
// Usage bits known to the card, each fitting the key's type: external
// authentication for DES and triple-DES keys, deriving session keys for
// CDEA keys.
bool IsValidUsage(KeyType type, uint8_t usage);
// Identifiers 0x00 and 0xFF are reserved.
bool IsKeyIdentifier(uint8_t id);
bool IsValidKey(const Key& key);
bool IsValidPassphrase(const Passphrase& p);

}  // namespace tarnwick::vcard
