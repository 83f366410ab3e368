// Where the default driver's virtual cards are kept when the environment
// names no folder: a folder of the user's own, so that keys written through
// the module outlive the process.
#pragma once

namespace tarnwick::pkcs11 {

enum class CardKeeping { kNamedFolder, kUserFolder, kInMemory };

// Points SKORRA_VCARD_DIR at the user's card folder when it is unset,
// making the folder first. kInMemory when there is no home folder or the
// card folder is not a private directory of the user's (the reason goes to
// standard error).
CardKeeping KeepVirtualCards();
// Undoes what KeepVirtualCards set, for the library's other callers.
void ForgetUserCardFolder();

}  // namespace tarnwick::pkcs11
