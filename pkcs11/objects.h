// The token's objects as the directory describes them: a private and a
// public key per key slot in use, a certificate or data object per file
// entry; their handles and their attributes.
#pragma once

#include <optional>

#include "attributes.h"
#include "token_directory.h"

namespace tarnwick::pkcs11 {

enum class ObjectKind : uint8_t { kPrivateKey = 1, kPublicKey = 2, kCertificate = 3, kData = 4 };

// A handle names the slot, the kind, the directory entry and the entry's
// generation, so it stays the same for the object's life, needs no table,
// and never names the object made later in the same entry.
struct ObjectRef {
  std::size_t slot = 0;   // index of the module's slot
  ObjectKind kind = ObjectKind::kPrivateKey;
  std::size_t entry = 0;  // key slot or file entry
  uint16_t generation = 0;
};

CK_OBJECT_HANDLE HandleOf(const ObjectRef& ref);
std::optional<ObjectRef> DecodeHandle(CK_OBJECT_HANDLE handle);

AttributeSet PrivateKeyAttributes(const KeyEntry& key);
AttributeSet PublicKeyAttributes(const KeyEntry& key);
AttributeSet CertificateAttributes(const FileEntry& cert, const Bytes& der);
AttributeSet DataAttributes(const FileEntry& entry, const DataContent& data);

// Subject, issuer and serial number of a DER certificate; nullopt when it
// does not parse.
struct CertificateNames {
  Bytes subject, issuer, serial;
};
std::optional<CertificateNames> ParseCertificate(const Bytes& der);

}  // namespace tarnwick::pkcs11
