// The digest that seals a card image.
#include "image_format.h"

#include <openssl/evp.h>

namespace tarnwick::vcard {

bool ImageDigest(std::span<const uint8_t> bytes, std::array<uint8_t, kImageDigestLength>& digest) {
  unsigned int length = 0;
  return EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) == 1 &&
         length == kImageDigestLength;
}

}  // namespace tarnwick::vcard
