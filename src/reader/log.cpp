// writeLog: the opt-in diagnostic log. A line is appended only when the log
// file already exists as a regular file; the library never creates it.
#include <cstdio>
#include <ctime>
#include <string_view>

#include "reader/log.h"
#include "reader/log_file.h"
#include "tarnwick.h"

namespace {

// "return code" in GBK, the label before the value.
constexpr char kLabel[] = "\xB7\xB5\xBB\xD8\xC2\xEB";

// "YYYY-MM-DD hh:mm:ss" in local time; zeros when the time is unknown.
void FormatTimestamp(char (&out)[64]) {
  std::tm local{};
  const bool known = tarnwick::log_file::LocalTime(std::time(nullptr), local);
  if (!known) local = std::tm{};
  std::snprintf(out, sizeof out, "%04d-%02d-%02d %02d:%02d:%02d", known ? local.tm_year + 1900 : 0,
                known ? local.tm_mon + 1 : 0, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec);
}

// " <label>=<value>": the value as upper-case hex, at least four wide.
void FormatCode(char (&out)[64], int32_t value) {
  std::snprintf(out, sizeof out, " %s=%4X", kLabel, static_cast<unsigned>(value));
}

}  // namespace

int32_t tarnwick::log::Write(const char* text, int32_t value) {
  char stamp[64];
  char code[64];
  FormatTimestamp(stamp);
  FormatCode(code, value);
  // The line ends in CR LF on every system, as the log's readers expect.
  const std::string_view pieces[] = {stamp, ": ", text != nullptr ? text : "", code, "\r\n"};
  return tarnwick::log_file::Append(pieces);
}

extern "C" TW_API int32_t writeLog(const char* text, int32_t value) { return tarnwick::log::Write(text, value); }
