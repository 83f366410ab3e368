// The module's debug log: with TARNWICK_PKCS11_DEBUG set, one line per C_*
// call with its result and the card's last status word. Never a PIN: a
// line holds names and numbers only.
#pragma once

#include <string_view>

#include "cryptoki.h"

namespace tarnwick::pkcs11 {

// Forgets the status word of an earlier call, as a call begins.
void BeginCall();
// Writes the call's line when the log is on; returns rv.
CK_RV Logged(CK_RV rv, const char* where = __builtin_FUNCTION());

const char* ResultName(CK_RV rv);

// Appends one line to the file at path; false when the path is not a
// regular file this process may append to (debug_log_<platform>.cpp).
bool AppendToFile(const char* path, std::string_view line);

}  // namespace tarnwick::pkcs11
