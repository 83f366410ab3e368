// The status words that the card, the driver and the library produce, and
// the meaning of each as a person reading a trace or a program's output
// needs it.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick::status {

// The meaning of a status word, e.g. "file or application not found" for
// 0x6A82 or "verification failed, 2 tries left" for 0x63C2. Values outside
// 0..0xFFFF are not status words and say so.
std::string Meaning(int64_t sw);

// "XXXX meaning": the status word as four upper-case hex digits, a space and
// its meaning, e.g. "9000 command completed".
std::string Describe(int64_t sw);

}  // namespace tarnwick::status
