// The card DES command (class 0x10): the data is an 8-byte key and one
// 8-byte block; P1 0x00 encrypts, 0x01 decrypts.
#include "block_cipher.h"
#include "handlers.h"

namespace tarnwick::vcard {

Answer CardDes(CardState&, const Command& c) {
  if (c.p1 > 0x01 || c.p2 != 0x00) return Status(sw::kWrongP1P2);
  if (!c.CarriesDataOnly() || c.data.size() != 16) return Status(sw::kWrongLength);
  const auto out = DesBlock(c.data.first(8), c.data.subspan(8), c.p1 == 0x00);
  if (!out) return Status(sw::kNoDiagnosis);
  return Data({out->begin(), out->end()});
}

}  // namespace tarnwick::vcard
