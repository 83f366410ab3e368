// IC_TriDesEncrypt: two-key triple-DES of one block computed by the card in
// three DES commands (encrypt K1, decrypt K2, encrypt K1).
#include <cstdint>

#include "cipher/card_des.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

extern "C" TW_API int32_t IC_TriDesEncrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                           tw_handle_t reader) {
  using namespace tarnwick;
  const uint8_t* k1 = key;
  const uint8_t* k2 = key + 8;
  uint8_t a[8];
  uint8_t b[8];
  int32_t status = cipher::CardDes(reader, cipher::kEncrypt, k1, in, a);
  if (status != sw::kSuccess) return status;
  status = cipher::CardDes(reader, cipher::kDecrypt, k2, a, b);
  if (status != sw::kSuccess) return status;
  // Only the last command writes the caller's block.
  status = cipher::CardDes(reader, cipher::kEncrypt, k1, b, out);
  return status == sw::kSuccess ? 0 : status;
}
