// Status words the library itself tests or produces. SW1 is bits 15-8, SW2
// bits 7-0, as ISO/IEC 7816-4 defines them.
#pragma once

#include <cstdint>

namespace tarnwick::sw {

constexpr int32_t kSuccess = 0x9000;
// Not a card answer: the driver failed the exchange on every attempt, or no
// driver function was there to call.
constexpr int32_t kExchangeFailed = 0xFFFF;
// ISO/IEC 7816-4 "wrong length": the library's refusal of a command that does
// not fit a short APDU, produced before anything is sent.
constexpr int32_t kWrongLength = 0x6700;
// "Instruction not supported": an idle card's answer to the poll frame, so
// it marks the card as ready again after a long command.
constexpr int32_t kCardReady = 0x6D00;
// The card is still busy with a long command (erase, file creation).
constexpr int32_t kCardBusy = 0x6FF0;
// Warning 0x6201: the master file command asks to be sent again.
constexpr int32_t kRepeatCommand = 0x6201;

}  // namespace tarnwick::sw
