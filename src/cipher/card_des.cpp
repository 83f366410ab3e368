// DesEncrypt and DesDecrypt: one block through the card's DES command, the
// key travelling in the clear beside the block.
#include <cstdint>
#include <cstring>

#include "transport/exchange.h"
#include "reader/status.h"
#include "tarnwick.h"

namespace {

constexpr uint8_t kClaCardDes = 0x10;
constexpr uint8_t kInsCardDes = 0x02;
constexpr uint8_t kEncrypt = 0x00;
constexpr uint8_t kDecrypt = 0x01;
constexpr uint8_t kBlock = 8;

// 10 02 p1 00 10, then the key and the block; the card answers the 8 result
// bytes, copied out only on 0x9000.
int32_t CardDes(uint8_t direction, const uint8_t* key, const uint8_t* in, uint8_t* out,
                tw_handle_t reader) {
  uint8_t data[2 * kBlock];
  std::memcpy(data, key, kBlock);
  std::memcpy(data + kBlock, in, kBlock);
  tarnwick::CommandFrame frame(kClaCardDes, kInsCardDes, direction, 0x00);
  frame.SetData(data, sizeof data);
  tarnwick::Response<> response;
  const int32_t status = tarnwick::Exchange(reader, frame, response);
  if (status == tarnwick::sw::kSuccess) std::memcpy(out, response.data.data(), kBlock);
  return status;
}

}  // namespace

extern "C" TW_API int32_t DesEncrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                     tw_handle_t reader) {
  return CardDes(kEncrypt, key, in, out, reader);
}

extern "C" TW_API int32_t DesDecrypt(const uint8_t* key, const uint8_t* in, uint8_t* out,
                                     tw_handle_t reader) {
  return CardDes(kDecrypt, key, in, out, reader);
}
