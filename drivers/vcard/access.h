// Access conditions: one byte per guarded action, met or not by the
// security state the card holds until its next reset.
#pragma once

#include <cstdint>

#include "state.h"

namespace tarnwick::vcard {

// 0x00 always; 0x1r after VERIFY of passphrase r; 0x2r after EXTERNAL
// AUTHENTICATE with key r (r = 1 to 15); 0xFF never.
constexpr uint8_t kAlways = 0x00;
constexpr uint8_t kNever = 0xFF;
constexpr uint8_t AfterPassphrase(uint8_t ref) { return static_cast<uint8_t>(0x10 | ref); }
constexpr uint8_t AfterExternalAuth(uint8_t key) { return static_cast<uint8_t>(0x20 | key); }

bool IsValidAccessCondition(uint8_t ac);
bool AccessGranted(uint8_t ac, const Transient& transient);

// The key slots' private keys (generation into a key slot, signing,
// decryption)
// serve only after VERIFY of passphrase 01, as a card guards its keys.
constexpr uint8_t kKeySlotCondition = AfterPassphrase(0x01);

}  // namespace tarnwick::vcard
