// Routing one command APDU to its handler, with the class, framing and
// long-operation rules that apply to every command.
#pragma once

#include <cstddef>
#include <cstdint>

#include "card.h"
#include "state.h"

namespace tarnwick::vcard {

Answer Dispatch(CardState& state, const uint8_t* apdu, std::size_t len);

}  // namespace tarnwick::vcard
