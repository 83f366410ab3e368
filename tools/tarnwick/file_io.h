// Raw bytes from and to files, "-" meaning standard input or output.
#pragma once

#include <optional>
#include <string>

#include "hex.h"

namespace tarnwick::cli {

// The whole file (or standard input for "-"); nullopt with the reason in
// *why when it cannot be read.
std::optional<Bytes> ReadInput(const std::string& path, std::string* why);

// True when the file can be written: it is a regular file that opens for
// writing, or it can be created (the probe leaves no file behind). Anything
// else, a device or a pipe included, is refused with the reason in *why.
bool CheckWritable(const std::string& path, std::string* why);

// Writes the bytes (to standard output for "-"); false with the reason in
// *why when the file cannot be written completely.
bool WriteOutput(const std::string& path, const Bytes& bytes, std::string* why);

}  // namespace tarnwick::cli
