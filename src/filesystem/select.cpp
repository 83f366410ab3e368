// SELECT FILE: makes a file with identifier 00xx the card's current file.
#include <cstdint>

#include "filesystem/files.h"
#include "transport/exchange.h"
#include "tarnwick.h"

namespace tarnwick::files {

int32_t Select(uint32_t reader, uint8_t p1, uint8_t fid) {
  // Only the low byte of the identifier is ours to choose; the high byte is 00.
  const uint8_t identifier[] = {0x00, fid};
  CommandFrame frame(ins::kSelectFile, p1, 0x00);
  frame.SetData(identifier, sizeof identifier);
  frame.AppendLe(0x00);
  // Any file control information the card sends back is not passed on.
  return Send(reader, frame);
}

}  // namespace tarnwick::files

extern "C" TW_API int32_t SelectFile(uint8_t p1, int32_t /*unused*/, uint8_t fid, tw_handle_t reader) {
  return tarnwick::files::Select(reader, p1, fid);
}
