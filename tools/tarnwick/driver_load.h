// Why the library could not load a reader driver, in the system loader's
// own words, so that a person sees the real reason (a missing library the
// driver needs, a file of the wrong kind) rather than a guess. One file per
// platform.
#pragma once

#include <optional>
#include <string>

namespace tarnwick::cli {

// For the driver file InitialLib(selector) loads: where the library looks
// (LD_LIBRARY_PATH, the library's own folder, the system's folders), the
// file found and the loader's message, when a driver file is found that
// cannot be loaded; nullopt when no driver file is found at all.
std::optional<std::string> DriverLoadFailure(bool serial);

}  // namespace tarnwick::cli
