// Constants and the digest shared by the image writer and reader.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tarnwick::vcard {

inline constexpr std::array<uint8_t, 4> kImageMagic = {'T', 'W', 'V', 'C'};
inline constexpr uint8_t kImageVersion = 1;
inline constexpr std::size_t kImageHeaderLength = 9;  // magic, version, body length
inline constexpr std::size_t kImageDigestLength = 32;

// SHA-256 of everything before the trailer.
bool ImageDigest(std::span<const uint8_t> bytes, std::array<uint8_t, kImageDigestLength>& digest);

}  // namespace tarnwick::vcard
