// One-block ECB encryption and decryption through OpenSSL: DES and
// two-key triple-DES, and AES-128 (the card's CDEA cipher).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace tarnwick::vcard {

// An 8-byte key is single DES, a 16-byte key two-key triple-DES (EDE, K1
// K2 K1). Parity bits are ignored.
std::optional<std::array<uint8_t, 8>> DesBlock(std::span<const uint8_t> key, std::span<const uint8_t> block,
                                               bool encrypt);
std::optional<std::array<uint8_t, 16>> Aes128Block(std::span<const uint8_t> key,
                                                   std::span<const uint8_t> block, bool encrypt);

}  // namespace tarnwick::vcard
