// The cap on key-pair generations per input.
#include "card/generation_cap.h"

#include <algorithm>

#include "protocol/instructions.h"
#include "protocol/status_words.h"

namespace twfuzz {
namespace {

namespace sw = tarnwick::sw;

// Key-pair generation in any framing: the card takes it as going on with a
// pending generation, or answers it without touching one.
bool IsGenerationFamily(const uint8_t* apdu, std::size_t len) {
  return len >= 4 && tarnwick::ins::kGenerateKeyPair.Names(apdu[0], apdu[1], apdu[2]);
}

bool IsPoll(const uint8_t* apdu, std::size_t len) {
  return len == tarnwick::protocol::kHeaderLength && std::all_of(apdu, apdu + len, [](uint8_t b) { return b == 0; });
}

}  // namespace

bool GenerationCap::MayComplete(const uint8_t* apdu, std::size_t len) const {
  return IsGenerationFamily(apdu, len) && busy_slot_ == apdu[3];
}

bool GenerationCap::Allows(const uint8_t* apdu, std::size_t len) const {
  return generations_ < kMaxGenerations || !MayComplete(apdu, len);
}

void GenerationCap::Note(const uint8_t* apdu, std::size_t len,
                         const tarnwick::vcard::Answer& answer) {
  if (IsPoll(apdu, len)) return;
  if (!IsGenerationFamily(apdu, len)) {
    busy_slot_.reset();
    return;
  }
  if (answer.sw == sw::kCardBusy) {
    busy_slot_ = apdu[3];
  } else if (answer.sw == sw::kSuccess || answer.sw == sw::kNoDiagnosis) {
    if (MayComplete(apdu, len)) ++generations_;
    busy_slot_.reset();
  }
}

}  // namespace twfuzz
