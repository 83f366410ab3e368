// Windows: the module leaves the virtual cards where the driver keeps them,
// in memory unless SKORRA_VCARD_DIR names a folder.
#include <cstdlib>

#include "card_folder.h"

namespace tarnwick::pkcs11 {

CardKeeping KeepVirtualCards() {
  const char* named = std::getenv("SKORRA_VCARD_DIR");
  return named != nullptr && *named != '\0' ? CardKeeping::kNamedFolder : CardKeeping::kInMemory;
}

void ForgetUserCardFolder() {}

}  // namespace tarnwick::pkcs11
