// Splitting a command APDU into header, data field and Le.
#include "command.h"

namespace tarnwick::vcard {

std::optional<std::size_t> Command::Ne() const {
  std::optional<uint8_t> le = header_only ? std::optional<uint8_t>(p3) : trailing_le;
  if (!le) return std::nullopt;
  return *le == 0 ? 256 : *le;
}

std::optional<Command> ParseCommand(const uint8_t* apdu, std::size_t len) {
  if (apdu == nullptr || len < 5) return std::nullopt;
  Command c;
  c.cla = apdu[0];
  c.ins = apdu[1];
  c.p1 = apdu[2];
  c.p2 = apdu[3];
  c.p3 = apdu[4];
  const std::size_t lc = c.p3;
  if (len == 5) {
    c.header_only = true;
  } else if (len == 5 + lc) {
    c.data = {apdu + 5, lc};
  } else if (len == 6 + lc) {
    c.data = {apdu + 5, lc};
    c.trailing_le = apdu[5 + lc];
  } else {
    return std::nullopt;
  }
  return c;
}

}  // namespace tarnwick::vcard
