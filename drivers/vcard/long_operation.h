// Long commands (erasing a DF, generating a key pair) and multi-command
// operations (a chained SHA-1): what a poll answers, and which commands
// carry such an operation on rather than abandoning it.
#pragma once

#include "answer.h"
#include "command.h"
#include "state.h"

namespace tarnwick::vcard {

// The poll frame: five zero bytes.
bool IsPoll(const uint8_t* apdu, std::size_t len);

// 0x6FF0 while the pending long command is busy, 0x6D00 otherwise (the
// poll frame is no instruction of this card).
Answer Poll(CardState& state);

// True when the command belongs to the operation in progress; any other
// command abandons it first.
bool ContinuesLongOperation(const CardState& state, const Command& c);

// A busy phase that lasts the configured number of polls.
BusyPhase StartBusy(const CardOptions& options);

}  // namespace tarnwick::vcard
