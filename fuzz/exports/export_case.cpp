// The driver-call allowance of one export call.
#include "exports/export_case.h"

#include "exports/replay_session.h"

namespace twfuzz {

namespace {
// The exchange repeats a call the driver failed (0xFFFF), four calls in all.
constexpr uint64_t kCallsPerExchange = 4;
}  // namespace

void Call::Expect(uint64_t exchanges) const {
  AllowDriverCalls(exchanges * kCallsPerExchange, reader);
}

}  // namespace twfuzz
