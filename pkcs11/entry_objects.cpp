// Object calls: search, attributes, certificates and data objects, key-pair
// generation.
#include <algorithm>

#include "module.h"
#include "object_store.h"

using namespace tarnwick::pkcs11;

namespace {

bool AsksForSessionObject(const Template& values) {
  bool bad = false;
  auto token = values.GetBool(CKA_TOKEN, &bad);
  return token && !*token;
}

}  // namespace

extern "C" {

CK_RV C_CreateObject(CK_SESSION_HANDLE handle, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                     CK_OBJECT_HANDLE_PTR object) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    const Template values(attributes, count);
    if (!values.Valid() || object == nullptr) return CKR_ARGUMENTS_BAD;
    const CK_RV rv = MayChangeToken(slot, session);
    return rv != CKR_OK ? rv : CreateObject(slot, values, object);
  });
}

CK_RV C_CopyObject(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE, CK_ATTRIBUTE_PTR, CK_ULONG, CK_OBJECT_HANDLE_PTR) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_FUNCTION_NOT_SUPPORTED; });
}

CK_RV C_DestroyObject(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    const CK_RV rv = MayChangeToken(slot, session);
    return rv != CKR_OK ? rv : DestroyObject(slot, object);
  });
}

CK_RV C_GetObjectSize(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ULONG_PTR size) {
  return WithSession(handle, [&](Slot& slot, Session&) -> CK_RV {
    if (size == nullptr) return CKR_ARGUMENTS_BAD;
    AttributeSet attributes;
    const CK_RV rv = ObjectAttributes(slot, object, &attributes);
    if (rv == CKR_OK) *size = CK_UNAVAILABLE_INFORMATION;
    return rv;
  });
}

CK_RV C_GetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                          CK_ULONG count) {
  return WithSession(handle, [&](Slot& slot, Session&) -> CK_RV {
    if (attributes == nullptr && count != 0) return CKR_ARGUMENTS_BAD;
    AttributeSet set;
    const CK_RV rv = ObjectAttributes(slot, object, &set);
    return rv != CKR_OK ? rv : set.CopyOut({attributes, count});
  });
}

CK_RV C_SetAttributeValue(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE object, CK_ATTRIBUTE_PTR attributes,
                          CK_ULONG count) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    const Template values(attributes, count);
    if (!values.Valid()) return CKR_ARGUMENTS_BAD;
    const CK_RV rv = MayChangeToken(slot, session);
    return rv != CKR_OK ? rv : SetObjectAttributes(slot, object, values);
  });
}

// The directory is read again when the card's copy changed, so objects
// another program made are found.
CK_RV C_FindObjectsInit(CK_SESSION_HANDLE handle, CK_ATTRIBUTE_PTR attributes, CK_ULONG count) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    const Template pattern(attributes, count);
    if (!pattern.Valid()) return CKR_ARGUMENTS_BAD;
    if (session.finding) return CKR_OPERATION_ACTIVE;
    const CK_RV rv = slot.Refresh();
    if (rv != CKR_OK) return rv;
    session.found.clear();
    session.next_found = 0;
    for (CK_OBJECT_HANDLE object : VisibleObjects(slot)) {
      AttributeSet set;
      if (ObjectAttributes(slot, object, &set) == CKR_OK && set.Matches(pattern.All())) session.found.push_back(object);
    }
    session.finding = true;
    return CKR_OK;
  });
}

CK_RV C_FindObjects(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE_PTR objects, CK_ULONG max, CK_ULONG_PTR count) {
  return WithSession(handle, [&](Slot&, Session& session) -> CK_RV {
    if ((objects == nullptr && max != 0) || count == nullptr) return CKR_ARGUMENTS_BAD;
    if (!session.finding) return CKR_OPERATION_NOT_INITIALIZED;
    const std::size_t n = std::min<std::size_t>(max, session.found.size() - session.next_found);
    std::copy_n(session.found.begin() + static_cast<std::ptrdiff_t>(session.next_found), n, objects);
    session.next_found += n;
    *count = n;
    return CKR_OK;
  });
}

CK_RV C_FindObjectsFinal(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [&](Slot&, Session& session) -> CK_RV {
    if (!session.finding) return CKR_OPERATION_NOT_INITIALIZED;
    session.finding = false;
    session.found.clear();
    return CKR_OK;
  });
}

CK_RV C_GenerateKeyPair(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR public_attributes,
                        CK_ULONG public_count, CK_ATTRIBUTE_PTR private_attributes, CK_ULONG private_count,
                        CK_OBJECT_HANDLE_PTR public_key, CK_OBJECT_HANDLE_PTR private_key) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    const Template public_values(public_attributes, public_count);
    const Template private_values(private_attributes, private_count);
    if (mechanism == nullptr || public_key == nullptr || private_key == nullptr || !public_values.Valid() ||
        !private_values.Valid())
      return CKR_ARGUMENTS_BAD;
    if (mechanism->mechanism != CKM_RSA_PKCS_KEY_PAIR_GEN) return CKR_MECHANISM_INVALID;
    // The card's key slots outlive every session: no session key pairs.
    if (AsksForSessionObject(public_values) || AsksForSessionObject(private_values)) return CKR_TEMPLATE_INCONSISTENT;
    const CK_RV rv = MayChangeToken(slot, session);
    return rv != CKR_OK ? rv : GenerateKeyPair(slot, public_values, private_values, public_key, private_key);
  });
}

// The card has no secret keys and no mechanism that generates, wraps,
// unwraps or derives one: well-formed calls answer CKR_MECHANISM_INVALID.
CK_RV C_GenerateKey(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_ATTRIBUTE_PTR attributes, CK_ULONG count,
                    CK_OBJECT_HANDLE_PTR key) {
  return WithSession(handle, [&](Slot&, Session&) {
    const bool bad = mechanism == nullptr || !Template(attributes, count).Valid() || key == nullptr;
    return bad ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

CK_RV C_WrapKey(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE, CK_OBJECT_HANDLE, CK_BYTE_PTR,
                CK_ULONG_PTR wrapped_length) {
  return WithSession(handle, [&](Slot&, Session&) {
    return mechanism == nullptr || wrapped_length == nullptr ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

CK_RV C_UnwrapKey(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE, CK_BYTE_PTR wrapped,
                  CK_ULONG wrapped_length, CK_ATTRIBUTE_PTR attributes, CK_ULONG count, CK_OBJECT_HANDLE_PTR key) {
  return WithSession(handle, [&](Slot&, Session&) {
    const bool bad = mechanism == nullptr || (wrapped == nullptr && wrapped_length != 0) ||
                     !Template(attributes, count).Valid() || key == nullptr;
    return bad ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

CK_RV C_DeriveKey(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE, CK_ATTRIBUTE_PTR attributes,
                  CK_ULONG count, CK_OBJECT_HANDLE_PTR key) {
  return WithSession(handle, [&](Slot&, Session&) {
    const bool bad = mechanism == nullptr || !Template(attributes, count).Valid() || key == nullptr;
    return bad ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID;
  });
}

}  // extern "C"
