// softDHADigest: the software digest in its three output sizes; and
// QorDigestProc, which tells the two reserved digest type numbers apart.
#include <cstdint>

#include "host/soft_digest.h"
#include "tarnwick.h"

// The shorter outputs fold the chaining words together: 8 bytes are
// H0^H1, H2^H3; 4 bytes are H0^H1^H2^H3.
extern "C" TW_API int32_t softDHADigest(const uint8_t* msg, uint32_t len, uint8_t* out,
                                        int32_t type) {
  using tarnwick::digest::StoreBigEndian;
  const auto h = tarnwick::digest::Digest(msg, len);
  switch (type) {
    case 16:
      for (std::size_t i = 0; i < h.size(); ++i) StoreBigEndian(h[i], out + 4 * i);
      break;
    case 8:
      StoreBigEndian(h[0] ^ h[1], out);
      StoreBigEndian(h[2] ^ h[3], out + 4);
      break;
    case 4:
      StoreBigEndian(h[0] ^ h[1] ^ h[2] ^ h[3], out);
      break;
    default:
      break;
  }
  return 0;
}

extern "C" TW_API int32_t QorDigestProc(int32_t type) { return (type == 2 || type == 3) ? 0 : 1; }
