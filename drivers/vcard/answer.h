// Shorthands for building the card's answers.
#pragma once

#include <cstdint>
#include <vector>

#include "card.h"
#include "status.h"

namespace tarnwick::vcard {

inline Answer Status(uint16_t sw) { return Answer{{}, sw}; }
inline Answer Data(std::vector<uint8_t> data, uint16_t sw = sw::kOk) { return Answer{std::move(data), sw}; }

}  // namespace tarnwick::vcard
