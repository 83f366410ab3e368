// The public-key record: the one layout in which the library hands a public
// key to the card, as key-load data and as the contents of a key file.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick::rsa {

class PublicKeyRecord {
 public:
  // The library's only public exponent, 65537; a record carries its first
  // exponent_len bytes.
  static constexpr std::array<uint8_t, 3> kExponent = {0x01, 0x00, 0x01};
  // The two tags and two length bytes around modulus and exponent.
  static constexpr std::size_t kFraming = 4;

  // 6E n <modulus> 65 E <first E exponent bytes>; exponent_len is at most 3.
  PublicKeyRecord(const uint8_t* modulus, uint8_t modulus_len, uint8_t exponent_len);

  const uint8_t* bytes() const { return bytes_.data(); }
  std::size_t size() const { return size_; }

 private:
  static constexpr uint8_t kModulusTag = 0x6E;
  static constexpr uint8_t kExponentTag = 0x65;

  std::array<uint8_t, kFraming + 255 + kExponent.size()> bytes_{};
  std::size_t size_ = 0;
};

}  // namespace tarnwick::rsa
