// Key pairs for the fuzzed card: a few RSA-1024 keys made once per process
// and handed out in turn, so that a completed generation costs nothing and
// the same input always gets the same keys.
#pragma once

#include <optional>

#include "vcard/state.h"

namespace twfuzz {

// The next key of the pool; the first call of a process makes the pool.
std::optional<tarnwick::vcard::RsaPrivateKey> PooledKeyPair();

// Starts the turn again, at the start of each input.
void RewindKeyPool();

}  // namespace twfuzz
