// The digest that seals a card image.
#include "image_format.h"

#include "crypto_library.h"

namespace tarnwick::vcard {

bool ImageDigest(std::span<const uint8_t> bytes, std::array<uint8_t, kImageDigestLength>& digest) {
  return CardDigest("SHA256", bytes, digest);
}

}  // namespace tarnwick::vcard
