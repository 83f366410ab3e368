// TriDesEncrypt: two-key triple-DES (encrypt K1, decrypt K2, encrypt K1) in
// ECB mode on the host, in one pass over the blocks.
#include "host/des_ecb_buffer.h"
#include "tarnwick.h"

// The pass needs no memory beyond its stack and cannot fail: the results 100
// and 101 (a work buffer could not be allocated) are no longer produced.
extern "C" TW_API int32_t TriDesEncrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                        int32_t len) {
  tarnwick::TriDesEcbBuffer(key, in, out, len);
  return 0;
}
