// What the tool asks of the operating system: the reader driver's module
// (and the loader's own reason when it refuses one), and a line typed on the
// terminal without echo.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick::cli::platform {

using Module = void*;

// The driver's file name for InitialLib's selector: 1 the serial driver.
const char* DriverFileName(uint8_t selector);

// Loads the driver as the library does, by bare name and then from the
// library's own folder, so that both end up with the one loaded driver;
// nullptr when it cannot be loaded.
Module LoadDriver(const char* name);
void* FindFunction(Module module, const char* name);
void UnloadDriver(Module module);

// Why the library could not load the driver for `selector`, in the system
// loader's own words (a missing library the driver needs, a file of the
// wrong kind), when a driver file is found that cannot be loaded; nullopt
// when no driver file is found at all.
std::optional<std::string> DriverLoadFailure(uint8_t selector);

bool InputIsTerminal();

// While it lives, what is typed on the terminal is not shown.
class EchoOff {
 public:
  EchoOff();
  ~EchoOff();
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  bool changed_ = false;
  unsigned long saved_ = 0;  // the terminal's mode flags before
};

}  // namespace tarnwick::cli::platform
