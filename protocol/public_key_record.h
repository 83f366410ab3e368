// The public-key record, the one layout in which a public RSA key travels to
// and from the card (key-load data, a key file, key-pair generation's first
// answer, the PKCS #11 token directory): 6E n <modulus> 65 e <exponent>.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarnwick::record {

inline constexpr uint8_t kModulusTag = 0x6E;
inline constexpr uint8_t kExponentTag = 0x65;
// The two tags and two length bytes around modulus and exponent.
inline constexpr std::size_t kFraming = 4;
inline constexpr std::size_t kModulusOffset = 2;
// The one public exponent, 65537; a record may carry only its first bytes.
inline constexpr std::array<uint8_t, 3> kExponent = {0x01, 0x00, 0x01};

// The card's keys are RSA-1024: their record is 6E 80 <128 bytes> 65 03 01 00 01.
inline constexpr std::size_t kCardKeyBits = 1024;
inline constexpr std::size_t kCardModulusBytes = kCardKeyBits / 8;
inline constexpr std::size_t kCardRecordBytes = kFraming + kCardModulusBytes + kExponent.size();
// A one-byte modulus length and the whole exponent.
inline constexpr std::size_t kMaxRecordBytes = kFraming + 255 + kExponent.size();

// Lays out the record of modulus with the first exponent_len bytes of
// kExponent at the start of out, which must hold it; returns its length.
constexpr std::size_t Write(std::span<uint8_t> out, std::span<const uint8_t> modulus, std::size_t exponent_len) {
  std::size_t at = 0;
  out[at++] = kModulusTag;
  out[at++] = static_cast<uint8_t>(modulus.size());
  at = static_cast<std::size_t>(std::copy(modulus.begin(), modulus.end(), out.begin() + at) - out.begin());
  out[at++] = kExponentTag;
  out[at++] = static_cast<uint8_t>(exponent_len);
  for (std::size_t i = 0; i < exponent_len; ++i) out[at++] = kExponent[i];
  return at;
}

// The card's own form of a record for a 128-byte modulus.
constexpr std::array<uint8_t, kCardRecordBytes> CardRecord(std::span<const uint8_t, kCardModulusBytes> modulus) {
  std::array<uint8_t, kCardRecordBytes> record{};
  Write(record, modulus, kExponent.size());
  return record;
}

struct Fields {
  std::span<const uint8_t> modulus;
  std::span<const uint8_t> exponent;
};

// The record at the start of bytes, exactly filling them when whole is set;
// the fields are not checked beyond their lengths.
constexpr std::optional<Fields> Parse(std::span<const uint8_t> bytes, bool whole) {
  if (bytes.size() < kModulusOffset || bytes[0] != kModulusTag) return std::nullopt;
  const std::size_t n_len = bytes[1];
  if (bytes.size() < kFraming + n_len || bytes[kModulusOffset + n_len] != kExponentTag) return std::nullopt;
  const std::size_t e_len = bytes[kModulusOffset + n_len + 1];
  const std::size_t total = kFraming + n_len + e_len;
  if (bytes.size() < total || (whole && bytes.size() != total)) return std::nullopt;
  return Fields{bytes.subspan(kModulusOffset, n_len), bytes.subspan(kFraming + n_len, e_len)};
}

// Whether bytes are exactly a record in the card's own form.
constexpr bool IsCardRecord(std::span<const uint8_t> bytes) {
  const std::optional<Fields> fields = Parse(bytes, true);
  return fields && fields->modulus.size() == kCardModulusBytes &&
         std::ranges::equal(fields->exponent, kExponent);
}

}  // namespace tarnwick::record
