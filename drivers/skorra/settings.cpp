// Reads the driver's environment variables.
#include "settings.h"

#include <cstdlib>
#include <string_view>

#include "protocol/trace_view.h"

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
  const std::string_view trace = Variable("SKORRA_TRACE");
  const protocol::TraceTarget target = protocol::ReadTraceTarget(trace);
  settings.trace = target != protocol::TraceTarget::kNone;
  if (target == protocol::TraceTarget::kFile) settings.trace_file = std::string(trace);
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
  settings.trace_secrets = protocol::ReadTraceSecrets(Variable("SKORRA_TRACE_SECRETS"));
  return settings;
}

}  // namespace tarnwick::skorra
