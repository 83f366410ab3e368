// The diagnostic log line, as writeLog and the key-pair generation's report
// of a malformed answer write it.
#pragma once

#include <cstdint>

namespace tarnwick::log {

// Appends "<local time>: <text> <label>=<value>" and CR LF to the log when
// it exists; writeLog's result.
int32_t Write(const char* text, int32_t value);

}  // namespace tarnwick::log
