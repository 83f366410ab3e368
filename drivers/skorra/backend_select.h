// The one place that decides which backend stands behind a port.
#pragma once

#include <memory>
#include <string>

#include "backend.h"
#include "settings.h"
#include "trace.h"

namespace tarnwick::skorra {

// The backend for port 1 to 4 under these settings, or of the kind the
// driver variant prefers when they name none; nullptr and a problem text
// when the port cannot be opened. The trace, when given, must outlive the
// backend.
std::unique_ptr<Backend> OpenBackend(int port_number, BackendKind preferred, const Settings& settings,
                                     Trace* trace, std::string& problem);

}  // namespace tarnwick::skorra
