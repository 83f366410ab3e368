// Generating an RSA key pair takes the card tens of milliseconds, so one
// input may complete at most one generation: a generation command that could
// complete one after that is not sent. The card's pending generation is
// followed from outside, erring towards "could complete".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "vcard/card.h"

namespace twfuzz {

class GenerationCap {
 public:
  static constexpr int kMaxGenerations = 1;

  // False for a generation command that could complete a generation once
  // the input has had its share.
  bool Allows(const uint8_t* apdu, std::size_t len) const;
  // Follows the card's pending generation through one command and answer.
  void Note(const uint8_t* apdu, std::size_t len, const tarnwick::vcard::Answer& answer);
  // A reset abandons any generation in progress.
  void Reset() { busy_slot_.reset(); }

 private:
  bool MayComplete(const uint8_t* apdu, std::size_t len) const;

  // The key slot (P2) of a generation the card answered busy and that no
  // command since has abandoned.
  std::optional<uint8_t> busy_slot_;
  int generations_ = 0;
};

}  // namespace twfuzz
