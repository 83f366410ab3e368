// The busy phase of long commands and the continuity rule of
// multi-command operations.
#include "long_operation.h"

#include <algorithm>

namespace tarnwick::vcard {
namespace {

// Counts one poll: busy while polls are left, then ready for good.
uint16_t CountPoll(BusyPhase& busy) {
  if (busy.ready) return sw::kInsNotSupported;
  if (busy.polls_left > 0) {
    --busy.polls_left;
    return sw::kBusy;
  }
  busy.ready = true;
  return sw::kInsNotSupported;
}

bool IsKeyGeneration(const Command& c) { return c.cla == 0x80 && c.ins == 0xCE && c.p1 == 0x00; }
bool IsErase(const Command& c) { return c.cla == 0x80 && c.ins == 0x0E; }
bool IsSha1(const Command& c) { return c.cla == 0x80 && c.ins == 0xCC && c.CarriesDataOnly(); }

}  // namespace

bool IsPoll(const uint8_t* apdu, std::size_t len) {
  return apdu != nullptr && len == 5 && std::all_of(apdu, apdu + 5, [](uint8_t b) { return b == 0; });
}

Answer Poll(CardState& state) {
  LongOperation& pending = state.session.pending;
  if (auto* erase = std::get_if<PendingErase>(&pending)) return Status(CountPoll(erase->busy));
  if (auto* generation = std::get_if<PendingKeyGeneration>(&pending))
    return Status(CountPoll(generation->busy));
  return Status(sw::kInsNotSupported);
}

bool ContinuesLongOperation(const CardState& state, const Command& c) {
  const LongOperation& pending = state.session.pending;
  if (std::holds_alternative<PendingErase>(pending)) return IsErase(c);
  if (std::holds_alternative<PendingKeyGeneration>(pending)) return IsKeyGeneration(c);
  if (std::holds_alternative<Sha1Chain>(pending)) return IsSha1(c);
  return false;
}

BusyPhase StartBusy(const CardOptions& options) { return BusyPhase{std::max(options.busy_polls, 0), false}; }

}  // namespace tarnwick::vcard
