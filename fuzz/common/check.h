// How a harness reports a broken promise: a message on stderr and abort(),
// which libFuzzer records as a crash and a regression run as a failure.
#pragma once

namespace twfuzz {

// The context printed with every failure (the export being called, say).
void SetCheckContext(const char* context);

[[noreturn]] void Fail(const char* what);

inline void Check(bool ok, const char* what) {
  if (!ok) Fail(what);
}

}  // namespace twfuzz
