// IC_TriDesEncrypt: two-key triple-DES of one block computed by the card in
// three DES commands (encrypt K1, decrypt K2, encrypt K1).
#include <cstdint>

#include "reader/status.h"
#include "tarnwick.h"

extern "C" TW_API int32_t IC_TriDesEncrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                           tw_handle_t reader) {
  const uint8_t* k1 = key;
  const uint8_t* k2 = key + 8;
  uint8_t a[8];
  uint8_t b[8];
  int32_t status = DesEncrypt(k1, in, a, reader);
  if (status != tarnwick::sw::kSuccess) return status;
  status = DesDecrypt(k2, a, b, reader);
  if (status != tarnwick::sw::kSuccess) return status;
  // Only the last command writes the caller's block.
  status = DesEncrypt(k1, b, out, reader);
  return status == tarnwick::sw::kSuccess ? 0 : status;
}
