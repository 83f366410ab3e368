// SELECT FILE: makes a file with identifier 00xx the card's current file.
#include <cstdint>

#include "transport/exchange.h"
#include "tarnwick.h"

extern "C" TW_API int32_t SelectFile(uint8_t p1, int32_t /*unused*/, uint8_t fid, tw_handle_t reader) {
  // Only the low byte of the identifier is ours to choose; the high byte is 00.
  const uint8_t identifier[] = {0x00, fid};
  tarnwick::CommandFrame frame(0x00, 0xA4, p1, 0x00);
  frame.SetData(identifier, sizeof identifier);
  frame.AppendLe(0x00);
  // Any file control information the card sends back is not passed on.
  return tarnwick::Send(reader, frame);
}
