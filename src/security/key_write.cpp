// AddKey and ModifyKey: the card's write-key command 80 D4 p1 p2 with a key
// block whose layout the card defines. AddKey is the P1 0x01 case.
#include <cstdint>

#include "transport/exchange.h"
#include "tarnwick.h"

namespace {

constexpr uint8_t kP1Install = 0x01;

int32_t SendWriteKey(uint8_t p1, uint8_t p2, const uint8_t* block, uint8_t len,
                     tw_handle_t reader) {
  tarnwick::CommandFrame frame(tarnwick::ins::kWriteKey, p1, p2);
  frame.SetData(block, len);
  return tarnwick::Send(reader, frame);
}

}  // namespace

extern "C" TW_API int32_t AddKey(uint8_t p2, uint8_t len, const uint8_t* block,
                                 tw_handle_t reader) {
  return SendWriteKey(kP1Install, p2, block, len, reader);
}

extern "C" TW_API int32_t ModifyKey(uint8_t p1, uint8_t len, uint8_t p2, const uint8_t* block,
                                    tw_handle_t reader) {
  return SendWriteKey(p1, p2, block, len, reader);
}
