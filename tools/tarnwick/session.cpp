// Opening and closing the card session around the tool's operations.
#include "session.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "driver_link.h"

namespace tarnwick::cli {
namespace {

// The driver reads its variables from this process's environment.
void SetVariable(const char* name, const char* value) {
#if defined(_WIN32)
  _putenv_s(name, value);
#else
  setenv(name, value, 1);
#endif
}

// The driver's words for "no trace", in any case.
bool TraceIsOff(const char* value) {
  if (value == nullptr) return true;
  std::string word(value);
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word.empty() || word == "0" || word == "no" || word == "false" || word == "off";
}

}  // namespace

void EnableDriverTrace() {
  if (TraceIsOff(std::getenv("SKORRA_TRACE"))) SetVariable("SKORRA_TRACE", "1");
}

CardSession::CardSession(const SessionOptions& options, Report& report) {
  if (options.trace) EnableDriverTrace();
  if (InitialLib(options.selector) != 1) {
    report.Failure("InitialLib(" + std::to_string(options.selector) + "): " + DriverLink::LoadFailure(options.selector));
    return;
  }
  bound_ = true;
  tw_handle_t handle = 0;
  int32_t opened = OpenCom(options.port, &handle);
  if (opened != 0) {
    report.Failure("OpenCom(" + std::to_string(options.port) + ") answered " + std::to_string(opened) +
                   ": the driver could not open COM" + std::to_string(options.port));
    return;
  }
  reader_ = handle;
  int32_t reset = ResetICC(static_cast<int32_t>(reader_), 0, 0);
  if (reset != 0) {
    report.Failure("ResetICC answered " + std::to_string(reset) + ": the card could not be powered up");
    return;
  }
  card_reset_ = true;
}

CardSession::~CardSession() {
  if (reader_ != 0) CloseCom(&reader_);
  if (bound_) FreeLib();
}

}  // namespace tarnwick::cli
