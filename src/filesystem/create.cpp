// File creation with the card's own command 80 E0: a file from a caller's
// 7-byte description, and the master file 3F00.
#include <cstdint>

#include "transport/exchange.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace {

constexpr uint8_t kDescriptionSize = 7;

}  // namespace

extern "C" TW_API int32_t Createfile(uint8_t p2, uint8_t lc, const uint8_t* desc, tw_handle_t reader) {
  tarnwick::CommandFrame frame(tarnwick::ins::kCreateFile, 0x00, p2);
  frame.SetData(desc, kDescriptionSize);
  // The caller's length byte goes out as it is; seven bytes follow whatever it says.
  frame.SetP3(lc);
  return tarnwick::Send(reader, frame);
}

extern "C" TW_API int32_t CreateMFfile(uint8_t b4, uint8_t b5, tw_handle_t reader) {
  const uint8_t description[] = {0x38, 0xFF, 0xFF, b4,   b5,   0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  tarnwick::CommandFrame frame(tarnwick::ins::kCreateFile, 0x3F, 0x00);
  frame.SetData(description, sizeof description);
  tarnwick::Response<> response;
  const int32_t status = tarnwick::Exchange(reader, frame, response);
  // 0x6201 and a busy card (0x6FF0) both ask for the command once more; never twice.
  if (status != tarnwick::sw::kRepeatCommand && status != tarnwick::sw::kCardBusy) return status;
  return tarnwick::Exchange(reader, frame, response);
}
