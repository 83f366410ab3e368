// The command exchange: the one path by which a command frame reaches the
// card, with the driver's retries, and the wait for a busy card.
#pragma once

#include <cstdint>

#include "transport/frame.h"

namespace tarnwick {

// Hands the frame to the driver's ICC_tsi_api through the driver loader's
// one call (loader::Transmit: its retries while the driver answers 0xFFFF,
// 0x6700 for a frame longer than a one-byte length can carry). The response
// buffer is the caller's and is not cleared.
int32_t ExchangeCommand(uint32_t handle, const CommandFrame& frame, uint8_t* rsp_len,
                        uint8_t* rsp);

// ExchangeCommand into a response buffer of the library's own, cleared first
// so that bytes past a short answer read as zero.
template <std::size_t N>
int32_t Exchange(uint32_t handle, const CommandFrame& frame, Response<N>& response) {
  response.Clear();
  return ExchangeCommand(handle, frame, &response.length, response.data.data());
}

// Exchange for a command whose answer's data is not used: the status word.
int32_t Send(uint32_t handle, const CommandFrame& frame);

// Sends the poll frame until the card answers 0x6D00, at most max_polls
// times; returns 0x6D00 or the status word of the last poll.
int32_t PollUntilReady(uint32_t handle, int max_polls);

}  // namespace tarnwick
