// Reads the driver's environment variables.
#include "settings.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <initializer_list>
#include <string_view>

namespace tarnwick::skorra {
namespace {

std::string_view Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> words) {
  return std::any_of(words.begin(), words.end(), [value](std::string_view word) {
    return value.size() == word.size() &&
           std::equal(value.begin(), value.end(), word.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
  });
}

}  // namespace

Settings ReadSettings() {
  Settings settings;
  if (auto dir = Variable("SKORRA_VCARD_DIR"); !dir.empty()) settings.card_dir = std::filesystem::path(dir);
  // A word means standard error or nothing; anything else is a file.
  if (auto trace = Variable("SKORRA_TRACE"); IsOneOf(trace, {"1", "yes", "true", "on"})) {
    settings.trace = true;
  } else if (!trace.empty() && !IsOneOf(trace, {"0", "no", "false", "off"})) {
    settings.trace = true;
    settings.trace_file = std::string(trace);
  }
  // A backend the driver does not know is refused, never guessed: a user
  // who meant his real card must not be talking to a virtual one.
  if (auto backend = Variable("SKORRA_BACKEND"); backend == "virtual")
    settings.backend = BackendKind::kVirtual;
  else if (backend == "pcsc")
    settings.backend = BackendKind::kPcsc;
  else if (!backend.empty())
    settings.problem = "SKORRA_BACKEND=" + std::string(backend) + " is not a backend; the accepted values are "
                       "\"virtual\" and \"pcsc\"";
  if (auto reader = Variable("SKORRA_PCSC_READER"); !reader.empty()) settings.pcsc_reader = std::string(reader);
  settings.trace_secrets = Variable("SKORRA_TRACE_SECRETS") == "1";
  return settings;
}

}  // namespace tarnwick::skorra
