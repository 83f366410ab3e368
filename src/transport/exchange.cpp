// ExchangeCommand, the single function that sends a command frame to the
// card, and the poll loop that waits for a card busy with a long command.
#include "transport/exchange.h"

#include "transport/driver.h"
#include "protocol/status_words.h"

namespace tarnwick {
namespace {

// The driver may fail an exchange (0xFFFF); the same call is repeated as it
// stands, with no pause, up to this many calls in all.
constexpr int kAttempts = 4;

}  // namespace

int32_t ExchangeCommand(uint32_t handle, const CommandFrame& frame, uint8_t* rsp_len,
                        uint8_t* rsp) {
  if (!frame.Sendable()) return sw::kWrongLength;
  const auto cmd_len = static_cast<uint8_t>(frame.length());
  int32_t status = sw::kExchangeFailed;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    auto result = driver::Transmit(handle, cmd_len, frame.bytes(), rsp_len, rsp);
    if (!result) return sw::kExchangeFailed;
    status = *result;
    if (status != sw::kExchangeFailed) break;
  }
  return status;
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
