// DesEncrypt and DesDecrypt: one block through the card's DES command, the
// key travelling in the clear beside the block.
#include "cipher/card_des.h"

#include <cstring>

#include "protocol/status_words.h"
#include "tarnwick.h"
#include "transport/exchange.h"

namespace tarnwick::cipher {
namespace {

constexpr uint8_t kBlock = 8;

}  // namespace

int32_t CardDes(uint32_t reader, uint8_t direction, const uint8_t* key, const uint8_t* in, uint8_t* out) {
  uint8_t data[2 * kBlock];
  std::memcpy(data, key, kBlock);
  std::memcpy(data + kBlock, in, kBlock);
  CommandFrame frame(ins::kCardDes, direction, 0x00);
  frame.SetData(data, sizeof data);
  Response<> response;
  const int32_t status = Exchange(reader, frame, response);
  if (status == sw::kSuccess) std::memcpy(out, response.data.data(), kBlock);
  return status;
}

}  // namespace tarnwick::cipher

extern "C" TW_API int32_t DesEncrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                     tw_handle_t reader) {
  return tarnwick::cipher::CardDes(reader, tarnwick::cipher::kEncrypt, key, in, out);
}

extern "C" TW_API int32_t DesDecrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                     tw_handle_t reader) {
  return tarnwick::cipher::CardDes(reader, tarnwick::cipher::kDecrypt, key, in, out);
}
