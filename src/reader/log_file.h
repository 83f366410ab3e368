// The diagnostic log's file: one line appended in one write, only to a log
// that already exists. /tmp/iclog.txt on POSIX systems, c:\iclog.txt on
// Windows; the bytes written are the same on both.
#pragma once

#include <cstdint>
#include <ctime>
#include <span>
#include <string_view>

namespace tarnwick::log_file {

// Appends the pieces, in order, as one write. 0 when the log does not exist
// or cannot be opened for appending (nothing is written); otherwise the
// result of closing it: 0, or -1 when the close reports a failure.
int32_t Append(std::span<const std::string_view> pieces);

// The local time of now, through the platform's thread-safe conversion;
// false when it cannot be told.
bool LocalTime(std::time_t now, std::tm& local);

}  // namespace tarnwick::log_file
