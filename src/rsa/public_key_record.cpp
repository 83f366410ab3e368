// Lays out the public-key record: tag and length of the modulus, the
// modulus, then tag and length of the exponent and the exponent bytes.
#include "rsa/public_key_record.h"

#include <cstring>

namespace tarnwick::rsa {

PublicKeyRecord::PublicKeyRecord(const uint8_t* modulus, uint8_t modulus_len,
                                 uint8_t exponent_len) {
  bytes_[size_++] = kModulusTag;
  bytes_[size_++] = modulus_len;
  if (modulus_len != 0) std::memcpy(bytes_.data() + size_, modulus, modulus_len);
  size_ += modulus_len;
  bytes_[size_++] = kExponentTag;
  bytes_[size_++] = exponent_len;
  std::memcpy(bytes_.data() + size_, kExponent.data(), exponent_len);
  size_ += exponent_len;
}

}  // namespace tarnwick::rsa
