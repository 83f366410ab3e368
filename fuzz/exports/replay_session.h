// The replay reader and card: both replay drivers are loaded once by full
// path (so the library's load by bare name finds them already there), and
// every driver call answers from the input, one answer after another. An
// ICC_tsi_api answer is a status word (2 bytes), a response length (1 byte)
// and that many response bytes; once the input is used up the card answers
// 0x6D00, which ends any polling.
#pragma once

#include <cstdint>

#include "common/byte_source.h"

namespace twfuzz {

// Loads the replay drivers and installs the answering functions; once per
// process.
void LoadReplayDrivers();

// Answers come from `stream` until the next call.
void ReplayFrom(ByteSource* stream);

// The export about to be called may make at most `calls` ICC_tsi_api calls
// with reader handle `reader`; one more is a finding (a broken polling or
// retry bound).
void AllowDriverCalls(uint64_t calls, uint32_t reader);

}  // namespace twfuzz
