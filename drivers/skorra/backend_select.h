// The one place that decides which backend stands behind a port.
#pragma once

#include <memory>
#include <string>

#include "backend.h"
#include "settings.h"

namespace tarnwick::skorra {

// The backend for port 1 to 4 under these settings; nullptr and a problem
// text when the port cannot be opened.
std::unique_ptr<Backend> OpenBackend(int port_number, const Settings& settings, std::string& problem);

}  // namespace tarnwick::skorra
