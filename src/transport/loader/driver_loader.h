// The reader driver as both the library and the tool reach it: loading it
// by name, the loader's reason when it is refused, and the one call of its
// ICC_tsi_api with the retry rule. Built once, linked into both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace tarnwick::loader {

using Module = void*;
using TransmitFn = int32_t (*)(uint32_t handle, uint8_t cmd_len, const uint8_t* cmd, uint8_t* rsp_len,
                               uint8_t* rsp);

// The driver takes the command length as one byte.
inline constexpr std::size_t kLongestCommand = 255;

// The driver's file name for InitialLib's selector: 1 the serial driver,
// any other value the USB driver.
const char* DriverFileName(uint8_t selector);

// Loads a driver by bare name and then, on POSIX, from the folder of the
// module that holds `anchor` (code of libtarnwick), so that the library
// and the tool end up with the one loaded driver; nullptr when it cannot
// be loaded.
Module LoadDriver(const char* name, const void* anchor);

// The address of an exported function; nullptr when the name is missing.
void* FindFunction(Module module, const char* name);

// Unloads; non-zero on success (the Windows FreeLibrary convention).
int32_t UnloadDriver(Module module);

// Why the driver for `selector` did not load, for a person: "the serial
// reader driver (libskorra.so) could not be loaded: " and the system
// loader's own words when a driver file is found but refused, otherwise
// where the driver belongs. `anchor` as for LoadDriver.
std::string DriverLoadFailure(uint8_t selector, const void* anchor);

// Sends one command through ICC_tsi_api and returns the status word of the
// last call: a command longer than kLongestCommand is refused with 0x6700
// and no driver (nullptr) answers 0xFFFF, both without a call; the driver is
// called again while it answers 0xFFFF, four calls at most, with no pause.
int32_t Transmit(TransmitFn transmit, uint32_t handle, std::span<const uint8_t> command, uint8_t* rsp_len,
                 uint8_t* rsp);

// What the platform file tells: the loader's reason for refusing the driver
// file `name` when one is found, and where a driver belongs.
std::optional<std::string> LoaderRefusal(const char* name, const void* anchor);
const char* WhereDriversBelong();

}  // namespace tarnwick::loader
