// The unit tests want fresh virtual cards in memory, and must never write
// into the user's real card folder: before any test runs, the module is
// left no card folder and no home folder to make one in.
#include <cstdlib>
#include <initializer_list>

namespace {

const bool kCardsInMemory = [] {
  for (const char* name : {"SKORRA_VCARD_DIR", "TARNWICK_PKCS11_DRIVER", "HOME", "XDG_DATA_HOME"}) unsetenv(name);
  return true;
}();

}  // namespace
