// Reads the driver's environment variables.
#include "settings.h"

#include <cstdlib>
#include <string_view>

namespace tarnwick::skorra {
namespace {

std::string_view Variable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

}  // namespace

Settings ReadSettings() {
  Settings settings;
  if (auto dir = Variable("SKORRA_VCARD_DIR"); !dir.empty()) settings.card_dir = std::filesystem::path(dir);
  if (auto trace = Variable("SKORRA_TRACE"); !trace.empty() && trace != "0") {
    settings.trace = true;
    if (trace != "1") settings.trace_file = std::string(trace);
  }
  if (auto backend = Variable("SKORRA_BACKEND"); backend == "virtual")
    settings.backend = BackendKind::kVirtual;
  else if (backend == "pcsc")
    settings.backend = BackendKind::kPcsc;
  if (auto reader = Variable("SKORRA_PCSC_READER"); !reader.empty()) settings.pcsc_reader = std::string(reader);
  settings.trace_secrets = Variable("SKORRA_TRACE_SECRETS") == "1";
  return settings;
}

}  // namespace tarnwick::skorra
