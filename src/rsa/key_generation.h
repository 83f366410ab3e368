// Starting an on-card key-pair generation and fetching the card's answer
// once it is ready: the routine the three generation exports share.
#pragma once

#include <cstdint>

#include "protocol/status_words.h"
#include "transport/exchange.h"

namespace tarnwick::rsa {

// Generation takes long; the card is polled at most this often.
constexpr int kGenerationPolls = 10000;

// 80 CE 00 <key_id> 00. The first one starts the generation; sent again once
// the card is ready it returns the card's answer.
inline CommandFrame GenerationFrame(uint8_t key_id) {
  return CommandFrame(ins::kGenerateKeyPair, 0x00, key_id, 0x00);
}

// Sends the generation frame, polls unless the card already answered 0x6D00
// (ready again), then sends the generation frame once more into answer.
// Returns that frame's status word, or the last poll's when the card never
// became ready (the second generation frame is then not sent).
template <std::size_t N>
int32_t GenerateAndFetch(uint32_t handle, const CommandFrame& generation, Response<N>& answer) {
  if (Exchange(handle, generation, answer) != sw::kCardReady) {
    const int32_t ready = PollUntilReady(handle, kGenerationPolls);
    if (ready != sw::kCardReady) return ready;
  }
  return Exchange(handle, generation, answer);
}

}  // namespace tarnwick::rsa
