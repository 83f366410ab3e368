// The library's software digest: four chaining words carried over 64-byte
// blocks of the padded message (not SHA-1, though shaped like it).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick::digest {

using Chain = std::array<uint32_t, 4>;

constexpr Chain kInitialChain = {0x5A3C9E17, 0x2F81D4B6, 0xC47E0A93, 0x91B6F25D};
constexpr std::size_t kBlockSize = 64;

inline void StoreBigEndian(uint32_t value, uint8_t* out) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}

// Folds `count` consecutive 64-byte blocks into the chaining words.
void CompressBlocks(Chain& chain, const uint8_t* blocks, std::size_t count);

// The chaining words after the whole padded message; reads exactly `len`
// bytes of `msg` and allocates nothing.
Chain Digest(const uint8_t* msg, uint32_t len);

}  // namespace tarnwick::digest
