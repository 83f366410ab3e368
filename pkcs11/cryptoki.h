// The PKCS #11 types and function declarations, from the header p11-kit
// ships. On Windows the module's own C_* declarations are exports.
#pragma once

#if defined(_WIN32) && !defined(CRYPTOKI_EXPORTS)
#define CRYPTOKI_EXPORTS
#endif
#include <p11-kit/pkcs11.h>
