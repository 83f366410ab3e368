// The card journal's byte layout (docs/virtual-card.md): a header naming the
// image it continues, then records, each the bytes of the image that one
// change altered, with a sequence number and a check; and its replay.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::skorra::journal {

inline constexpr std::size_t kDigestLength = 32;
using Digest = std::array<uint8_t, kDigestLength>;

// SHA-256 of a whole image file: what a journal header names as its base.
Digest Of(std::span<const uint8_t> image);

std::vector<uint8_t> Header(const Digest& base);

// The record that turns `from` into `to`: the new length and every run of
// bytes that differs (runs a few bytes apart are written as one).
std::vector<uint8_t> Record(uint32_t sequence, std::span<const uint8_t> from, std::span<const uint8_t> to);

struct Replay {
  enum class Outcome {
    kApplied,  // the committed records are applied to the image
    kStale,    // the header names another image: a fold had already
               // replaced the image when it stopped; nothing applied
    kDamaged,  // refused: the image is left as it was read
  } outcome = Outcome::kApplied;
  std::size_t committed = 0;  // journal bytes up to the end of the last whole record
  uint32_t last_sequence = 0;
  bool torn = false;          // bytes after `committed` were ignored
  std::string problem;        // why, when damaged
};

// Applies to `image` (the image file's bytes) what the journal committed.
// A last record cut short or failing its check is a write that power loss
// or a kill interrupted, and is ignored; a bad record with a good one after
// it is damage, and refuses the whole journal.
Replay Apply(std::span<const uint8_t> journal, std::vector<uint8_t>& image);

}  // namespace tarnwick::skorra::journal
