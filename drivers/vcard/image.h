// The byte image of a card's persistent contents (docs/virtual-card.md
// gives the layout): versioned, length-checked, with a SHA-256 trailer.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "state.h"

namespace tarnwick::vcard {

// Deterministic: equal contents give equal images.
std::vector<uint8_t> SerializeImage(const Persistent& card);
// nullopt for an image that is truncated, damaged, of another version, or
// describes contents the card would never hold.
std::optional<Persistent> ParseImage(std::span<const uint8_t> image);

}  // namespace tarnwick::vcard
