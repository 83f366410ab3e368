// Validity rules for keys and passphrase entries.
#include "key_rules.h"

namespace tarnwick::vcard {

std::size_t KeyLength(uint8_t type) {
  switch (static_cast<KeyType>(type)) {
    case KeyType::kDes:
      return 8;
    case KeyType::kTripleDes:
    case KeyType::kCdea:
      return 16;
  }
  return 0;
}

bool IsValidUsage(KeyType type, uint8_t usage) {
  const uint8_t allowed = type == KeyType::kCdea ? kUsageCipherMaster : kUsageExternalAuth;
  return (usage & ~allowed) == 0;
}

bool IsKeyIdentifier(uint8_t id) { return id != 0x00 && id != 0xFF; }

bool IsValidKey(const Key& key) {
  const std::size_t length = KeyLength(static_cast<uint8_t>(key.type));
  return length != 0 && key.value.size() == length && IsValidUsage(key.type, key.usage);
}

bool IsValidPassphrase(const Passphrase& p) {
  return p.tries_max >= 1 && p.tries_max <= kMaxTries && p.tries_left <= p.tries_max && p.unblock_max >= 1 &&
         p.unblock_max <= kMaxTries && p.unblock_left <= p.unblock_max;
}

}  // namespace tarnwick::vcard
