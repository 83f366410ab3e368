// Meaning and Describe: the status-word table of tarnwick_status.h as
// std::string, for the tool, the demo and the driver's trace.
#include "protocol/status_words.h"

#include <cstdio>

namespace tarnwick::status {

std::string Meaning(int64_t sw) {
  char text[64];
  return tw_status_text(sw, text, sizeof text);
}

std::string Describe(int64_t sw) {
  char word[24];
  std::snprintf(word, sizeof word, (sw < 0 || sw > 0xFFFF) ? "%X " : "%04X ", static_cast<unsigned>(sw));
  return word + Meaning(sw);
}

}  // namespace tarnwick::status
