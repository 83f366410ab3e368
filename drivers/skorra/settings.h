// The driver's environment variables, read each time a port is opened so
// that a program can change them between one open and the next.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tarnwick::skorra {

// What stands behind the ports: the virtual cards, or the readers that
// PC/SC lists.
enum class BackendKind { kVirtual, kPcsc };

struct Settings {
  // SKORRA_BACKEND=virtual|pcsc: overrides the driver variant's own choice.
  std::optional<BackendKind> backend;
  // Why no port may open under these settings (an unknown SKORRA_BACKEND).
  std::optional<std::string> problem;
  // SKORRA_PCSC_READER: part of the name of the PC/SC reader that COM1 uses,
  // instead of the first one listed.
  std::optional<std::string> pcsc_reader;
  // SKORRA_VCARD_DIR: the folder that keeps each card's image; none keeps the
  // cards in memory for the life of the process.
  std::optional<std::filesystem::path> card_dir;
  // SKORRA_TRACE: 1, yes, true or on trace to standard error; 0, no,
  // false, off or empty trace nothing; any other value names a file the
  // trace is appended to.
  bool trace = false;
  std::optional<std::string> trace_file;
  // SKORRA_TRACE_SECRETS=1: print passphrases and keys instead of "**".
  bool trace_secrets = false;
};

Settings ReadSettings();

}  // namespace tarnwick::skorra
