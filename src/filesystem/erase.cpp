// Erasing the current directory (80 0E 00 00 00), waiting for the card when
// it is busy with the erase.
#include <cstdint>

#include "transport/exchange.h"
#include "protocol/status_words.h"
#include "tarnwick.h"

namespace {

constexpr int kMaxPolls = 1000;

int32_t SendErase(tw_handle_t reader) {
  const tarnwick::CommandFrame frame(tarnwick::ins::kEraseDf, 0x00, 0x00, 0x00);
  return tarnwick::Send(reader, frame);
}

// 0x6FF0: the card is still erasing. 0xFFFF after a second try: the card
// stopped answering, which it does while it erases.
bool MustWait(int32_t status) {
  return status == tarnwick::sw::kCardBusy || status == tarnwick::sw::kExchangeFailed;
}

}  // namespace

extern "C" TW_API int32_t EraseDF(tw_handle_t reader) {
  int32_t status = SendErase(reader);
  if (status == tarnwick::sw::kExchangeFailed) status = SendErase(reader);
  if (!MustWait(status)) return status;
  status = tarnwick::PollUntilReady(reader, kMaxPolls);
  if (status != tarnwick::sw::kCardReady) return status;
  return SendErase(reader);
}
