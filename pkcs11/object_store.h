// The token's objects as sessions see them: visibility, lookup by handle,
// and the changes a logged-in read/write session makes to them.
#pragma once

#include "objects.h"
#include "slot.h"

namespace tarnwick::pkcs11 {

// The attributes of a handle's object, when this session may see it.
CK_RV ObjectAttributes(const Slot& slot, CK_OBJECT_HANDLE handle, AttributeSet* out);
// Every object this session may see.
std::vector<CK_OBJECT_HANDLE> VisibleObjects(const Slot& slot);
// A key a session may use: the key slot of a private-key object (for
// signing and decryption) or of either key object (for the host's
// public-key operations).
CK_RV UsableKey(const Slot& slot, CK_OBJECT_HANDLE handle, bool needs_private, std::size_t* key);

// Changes to the token need a read/write session of the logged-in user;
// the directory is brought up to date with the card first.
CK_RV MayChangeToken(Slot& slot, const Session& session);

CK_RV SetObjectAttributes(Slot& slot, CK_OBJECT_HANDLE handle, const Template& values);
CK_RV DestroyObject(Slot& slot, CK_OBJECT_HANDLE handle);
// A certificate or data object, each in a card file of its own.
CK_RV CreateObject(Slot& slot, const Template& values, CK_OBJECT_HANDLE* handle);
CK_RV GenerateKeyPair(Slot& slot, const Template& public_values, const Template& private_values,
                      CK_OBJECT_HANDLE* public_key, CK_OBJECT_HANDLE* private_key);

}  // namespace tarnwick::pkcs11
