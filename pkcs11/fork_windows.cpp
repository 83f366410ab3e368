// Windows has no fork(): a new process loads the module afresh.
#include "module.h"

namespace tarnwick::pkcs11 {

void InstallForkHandlers() {}

}  // namespace tarnwick::pkcs11
