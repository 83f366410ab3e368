// Opening and closing the card connection around the tool's operations.
#include "connection.h"

#include <cstdlib>
#include <string>

#include "driver_link.h"
#include "protocol/trace_view.h"

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

}  // namespace

void EnableDriverTrace() {
  const char* trace = std::getenv("SKORRA_TRACE");
  if (protocol::ReadTraceTarget(trace != nullptr ? trace : "") == protocol::TraceTarget::kNone)
    SetVariable("SKORRA_TRACE", "1");
}

CardConnection::CardConnection(const ConnectionOptions& options, Report& report) {
  if (options.trace) EnableDriverTrace();
  if (InitialLib(options.selector) != 1) {
    report.Failure("InitialLib(" + std::to_string(options.selector) + "): " +
                   DriverLink::LoadFailure(options.selector));
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

CardConnection::~CardConnection() {
  if (reader_ != 0) CloseCom(&reader_);
  if (bound_) FreeLib();
}

}  // namespace tarnwick::cli
