// Completes one command the way a T=0 card wants it: the card answers 61xx
// when more data waits (fetched with GET RESPONSE) and 6Cxx when the Le byte
// was wrong (the command goes again with Le = xx). Pure over the carrier, so
// it is the same for every reader that passes such status words through.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "backend.h"
#include "protocol/status_words.h"

namespace tarnwick::skorra {

// Not a card answer: nothing usable came back (the carrier failed, or fewer
// than the two status bytes arrived, as when a card is pulled mid-command).
constexpr uint16_t kNoAnswer = sw::kExchangeFailed;

// The most answer bytes gathered over GET RESPONSE rounds; a card that keeps
// announcing more is cut off there with the data it gave so far.
constexpr std::size_t kLongestGatheredAnswer = 4096;

// Carries one command and returns the raw answer (data, SW1, SW2), or
// nullopt when the transmission failed.
using Carrier = std::function<std::optional<std::vector<uint8_t>>(std::span<const uint8_t>)>;

// Sees each exchange the driver adds on its own (a GET RESPONSE or a resend)
// with the answer it got; kNoAnswer when none came.
using AddedExchange = std::function<void(std::span<const uint8_t> command, const Reply& reply)>;

// The card's whole answer to `command`: the data of every GET RESPONSE
// concatenated, with the last status word.
Reply CompleteT0(std::span<const uint8_t> command, const Carrier& carry, const AddedExchange& added);

}  // namespace tarnwick::skorra
