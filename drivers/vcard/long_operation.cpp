// The busy phase of long commands and the continuity rule of
// multi-command operations.
#include "long_operation.h"

#include <algorithm>

#include "protocol/instructions.h"

namespace tarnwick::vcard {
namespace {

// Counts one poll: busy while polls are left, then ready for good.
uint16_t CountPoll(BusyPhase& busy) {
  if (busy.ready) return sw::kInsNotSupported;
  if (busy.polls_left > 0) {
    --busy.polls_left;
    return sw::kCardBusy;
  }
  busy.ready = true;
  return sw::kInsNotSupported;
}

bool Is(const protocol::Instruction& instruction, const Command& c) {
  return instruction.Names(c.cla, c.ins, c.p1);
}
bool IsSha1(const Command& c) { return Is(ins::kHashSha1, c) && c.CarriesDataOnly(); }

// The busy phase that a poll counts down belongs to these two commands.
static_assert(ins::kEraseDf.busy_phase && ins::kGenerateKeyPair.busy_phase);

}  // namespace

bool IsPoll(const uint8_t* apdu, std::size_t len) {
  return apdu != nullptr && len == protocol::kHeaderLength && apdu[0] == ins::kPoll.cla && apdu[1] == ins::kPoll.ins &&
         std::all_of(apdu + 2, apdu + len, [](uint8_t b) { return b == 0; });
}

Answer Poll(CardState& state) {
  LongOperation& pending = state.transient.pending;
  if (auto* erase = std::get_if<PendingErase>(&pending)) return Status(CountPoll(erase->busy));
  if (auto* generation = std::get_if<PendingKeyGeneration>(&pending))
    return Status(CountPoll(generation->busy));
  return Status(sw::kInsNotSupported);
}

bool ContinuesLongOperation(const CardState& state, const Command& c) {
  const LongOperation& pending = state.transient.pending;
  if (std::holds_alternative<PendingErase>(pending)) return Is(ins::kEraseDf, c);
  if (std::holds_alternative<PendingKeyGeneration>(pending)) return Is(ins::kGenerateKeyPair, c);
  if (std::holds_alternative<Sha1Chain>(pending)) return IsSha1(c);
  return false;
}

BusyPhase StartBusy(const CardOptions& options) { return BusyPhase{std::max(options.busy_polls, 0), false}; }

}  // namespace tarnwick::vcard
