// A command APDU taken apart: header, data field and Le, as the short
// ISO/IEC 7816-4 cases frame them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tarnwick::vcard {

struct Command {
  uint8_t cla = 0;
  uint8_t ins = 0;
  uint8_t p1 = 0;
  uint8_t p2 = 0;
  uint8_t p3 = 0;
  // Five bytes only: P3 is then the Le of a command that answers, or an Lc
  // of zero for one that takes data.
  bool header_only = false;
  // The Lc data bytes; empty for a header-only frame.
  std::span<const uint8_t> data;
  // The byte after the data, when the frame has one.
  std::optional<uint8_t> trailing_le;

  // A frame with a data field and no Le: Lc bytes, or the header with P3 = 0.
  bool CarriesDataOnly() const { return header_only ? p3 == 0 : !trailing_le; }
  // Ne, the most answer bytes the host takes (Le 0x00 stands for 256), or
  // nullopt when the frame names none.
  std::optional<std::size_t> Ne() const;
};

// nullopt when the length disagrees with every short case: fewer than five
// bytes, or a length other than 5, 5 + Lc and 6 + Lc.
std::optional<Command> ParseCommand(const uint8_t* apdu, std::size_t len);

}  // namespace tarnwick::vcard
