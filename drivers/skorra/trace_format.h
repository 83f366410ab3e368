// The trace's lines: a command or an answer in hex, one line each, with the
// bytes that carry passphrases and keys hidden unless secrets are wanted.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "backend.h"

namespace tarnwick::skorra {

// "COM1 > 00 20 00 01 08 ** ** ** ** ** ** ** **"
std::string CommandLine(std::string_view port, std::span<const uint8_t> command, bool secrets);

// "COM1 < 9000 (command completed)" or, with data,
// "COM1 < 01 02 03 | 9000 (command completed)". The command is the one
// answered: some answers carry private key material.
std::string AnswerLine(std::string_view port, std::span<const uint8_t> command, const Reply& reply,
                       bool secrets);

}  // namespace tarnwick::skorra
