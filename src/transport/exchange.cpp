// ExchangeCommand, the single function that sends a command frame to the
// card, and the poll loop that waits for a card busy with a long command.
#include "transport/exchange.h"

#include "transport/driver.h"
#include "protocol/status_words.h"

namespace tarnwick {

int32_t ExchangeCommand(uint32_t handle, const CommandFrame& frame, uint8_t* rsp_len,
                        uint8_t* rsp) {
  return driver::Transmit(handle, std::span(frame.bytes(), frame.length()), rsp_len, rsp);
}

int32_t Send(uint32_t handle, const CommandFrame& frame) {
  Response<> response;
  return Exchange(handle, frame, response);
}

int32_t PollUntilReady(uint32_t handle, int max_polls) {
  const CommandFrame poll = CommandFrame::Poll();
  int32_t status = sw::kExchangeFailed;
  for (int i = 0; i < max_polls; ++i) {
    status = Send(handle, poll);
    if (status == sw::kCardReady) break;
  }
  return status;
}

}  // namespace tarnwick
