// Evaluating access-condition bytes against the security state.
#include "access.h"

namespace tarnwick::vcard {
namespace {

uint8_t Kind(uint8_t ac) { return ac & 0xF0; }
uint8_t Reference(uint8_t ac) { return ac & 0x0F; }

}  // namespace

bool IsValidAccessCondition(uint8_t ac) {
  if (ac == kAlways || ac == kNever) return true;
  return (Kind(ac) == 0x10 || Kind(ac) == 0x20) && Reference(ac) != 0;
}

bool AccessGranted(uint8_t ac, const Transient& transient) {
  if (ac == kAlways) return true;
  if (!IsValidAccessCondition(ac) || ac == kNever) return false;
  return Kind(ac) == 0x10 ? transient.verified.test(Reference(ac)) : transient.authenticated.test(Reference(ac));
}

}  // namespace tarnwick::vcard
