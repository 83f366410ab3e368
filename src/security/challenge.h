// Fetching the card's random bytes, as GetChallenge and external
// authentication use it.
#pragma once

#include <cstdint>

namespace tarnwick::security {

// n bytes of GET CHALLENGE into out, in pieces of at most 16; 0x9000 or the
// status word of the first piece that failed.
int32_t FetchChallenge(uint32_t reader, uint8_t* out, uint32_t n);

}  // namespace tarnwick::security
