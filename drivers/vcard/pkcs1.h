// PKCS #1 v1.5 block formatting: type 1 (signatures, FF padding) and type 2
// (encryption, random non-zero padding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tarnwick::vcard {

// Room the padding takes in a block: 00, type, eight padding bytes, 00.
constexpr std::size_t kPkcs1Overhead = 11;

// Both need data.size() + 11 <= k; PadType2 fails only when no random
// bytes can be had.
std::vector<uint8_t> PadType1(std::span<const uint8_t> data, std::size_t k);
std::optional<std::vector<uint8_t>> PadType2(std::span<const uint8_t> data, std::size_t k);

// The data of a well-formed block of the type, or nullopt.
std::optional<std::vector<uint8_t>> Unpad(std::span<const uint8_t> block, uint8_t type);

}  // namespace tarnwick::vcard
