// Shorthands for building the card's answers, and the one way a handler's
// lookup says what it found or why there is nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "card.h"
#include "protocol/status_words.h"

namespace tarnwick::vcard {

inline Answer Status(uint16_t sw) { return Answer{{}, sw}; }
inline Answer Data(std::vector<uint8_t> data, uint16_t sw = sw::kSuccess) { return Answer{std::move(data), sw}; }

// The value a lookup found, or the status word the command is refused
// with: return {value} or return {{}, sw}.
template <typename T>
struct Found {
  T value{};
  uint16_t sw = sw::kSuccess;

  bool ok() const { return sw == sw::kSuccess; }
};

}  // namespace tarnwick::vcard
