// What stands behind a reader port: something that powers a card up and
// carries one command APDU to it. The virtual card is one backend; a real
// reader would be another.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "protocol/status_words.h"

namespace tarnwick::skorra {

// The card's answer: its data and SW1 SW2.
struct Reply {
  std::vector<uint8_t> data;
  uint16_t sw = sw::kSuccess;
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Cold reset of the card: its security state and any half-done command are
  // gone. False when the card could not be powered.
  virtual bool PowerUp() = 0;

  // One command APDU, as the application framed it, and the card's answer.
  virtual Reply Transmit(std::span<const uint8_t> command) = 0;

  // What a person calls the reader or card behind the port.
  virtual std::string Description() const { return "card"; }

  // The port closes (not called when the process ends with it open): what
  // the backend holds only in memory is kept now.
  virtual void Close() {}

  // The card's answer to reset; empty when the backend has none to give.
  virtual std::vector<uint8_t> AnswerToReset() const { return {}; }
};

}  // namespace tarnwick::skorra
