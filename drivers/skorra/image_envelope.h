// The file format of a saved card: the card's own image wrapped with a
// magic, its length and a SHA-256 digest, so that a truncated or damaged
// file is told apart from a card.
//
//   offset 0       8 bytes  "TWVCARD" then format version 0x01
//   offset 8       4 bytes  image length n, big-endian
//   offset 12      n bytes  the card image
//   offset 12 + n  32 bytes SHA-256 of bytes 0 to 11 + n
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick::skorra {

std::vector<uint8_t> SealImage(std::span<const uint8_t> image);

// The card image inside a file's bytes, or nullopt when they are not an
// intact file of this format.
std::optional<std::vector<uint8_t>> UnsealImage(std::span<const uint8_t> file);

}  // namespace tarnwick::skorra
