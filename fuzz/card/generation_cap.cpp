// The cap on key-pair generations per input.
#include "card/generation_cap.h"

#include <algorithm>

namespace twfuzz {
namespace {

constexpr uint16_t kBusy = 0x6FF0;
constexpr uint16_t kSuccess = 0x9000;
constexpr uint16_t kInternalFailure = 0x6F00;

// 80 CE 00 in any framing: the card takes it as going on with a pending
// generation, or answers it without touching one.
bool IsGenerationFamily(const uint8_t* apdu, std::size_t len) {
  return len >= 4 && apdu[0] == 0x80 && apdu[1] == 0xCE && apdu[2] == 0x00;
}

bool IsPoll(const uint8_t* apdu, std::size_t len) {
  return len == 5 && std::all_of(apdu, apdu + 5, [](uint8_t b) { return b == 0; });
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
  if (answer.sw == kBusy) {
    busy_slot_ = apdu[3];
  } else if (answer.sw == kSuccess || answer.sw == kInternalFailure) {
    if (MayComplete(apdu, len)) ++generations_;
    busy_slot_.reset();
  }
}

}  // namespace twfuzz
