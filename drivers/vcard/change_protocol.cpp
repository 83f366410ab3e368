// The protocol switch: one data byte, 0xFF or 0xFE. The virtual card has a
// single transport and accepts either.
#include "handlers.h"

namespace tarnwick::vcard {

Answer ChangeProtocol(CardState&, const Command& c) {
  if (c.p1 != 0x00 || c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() != 1) return Status(sw::kWrongLength);
  if (c.data[0] != 0xFF && c.data[0] != 0xFE) return Status(sw::kWrongData);
  return Status(sw::kSuccess);
}

}  // namespace tarnwick::vcard
