// The contents of a fresh card.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "state.h"

namespace tarnwick::vcard {

// With a serial number, the card also holds it in EF 0003.
Persistent DefaultProfile(const std::optional<std::array<uint8_t, 8>>& serial);

}  // namespace tarnwick::vcard
