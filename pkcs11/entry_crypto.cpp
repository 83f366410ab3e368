// Cryptographic calls. Signing and decryption are the card's, with the
// private key of the object's key slot; verification, encryption and
// digests are the host's.
#include <algorithm>
#include <cstring>

#include "module.h"
#include "object_store.h"

namespace tarnwick::pkcs11 {
namespace {

enum class KeyUse { kCard, kHost, kNone };

void End(Operation& op) { op = Operation{}; }

CK_RV Start(Slot& slot, Operation& op, CK_MECHANISM_PTR mechanism, CK_FLAGS function, CK_OBJECT_HANDLE key,
            KeyUse use) {
  if (mechanism == nullptr) return CKR_ARGUMENTS_BAD;
  if (op.active) return CKR_OPERATION_ACTIVE;
  if (!MechanismAllows(mechanism->mechanism, function)) return CKR_MECHANISM_INVALID;
  if (mechanism->pParameter != nullptr || mechanism->ulParameterLen != 0) return CKR_MECHANISM_PARAM_INVALID;
  std::size_t entry = 0;
  if (use != KeyUse::kNone) {
    // A key another program destroyed or replaced is not used.
    CK_RV rv = slot.Refresh();
    if (rv == CKR_OK) rv = UsableKey(slot, key, use == KeyUse::kCard, &entry);
    if (rv != CKR_OK) return rv;
  }
  Operation started;
  const CK_RV rv = Hash::Start(mechanism->mechanism, &started.hash);
  if (rv != CKR_OK) return rv;
  started.active = true;
  started.mechanism = mechanism->mechanism;
  started.key = entry;
  started.key_object = key;
  op = std::move(started);
  return CKR_OK;
}

template <class F>
CK_RV WithOperation(CK_SESSION_HANDLE handle, Operation Session::*which, F&& f) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    Operation& op = session.*which;
    if (!op.active) return CKR_OPERATION_NOT_INITIALIZED;
    return f(slot, op);
  });
}

// Room for a result of `need` bytes: nullopt when it fits; otherwise the
// answer to a size query or to a buffer too small, the operation going on.
std::optional<CK_RV> NoRoom(CK_BYTE_PTR out, CK_ULONG_PTR out_length, std::size_t need) {
  if (out_length == nullptr) return CKR_ARGUMENTS_BAD;
  const bool query = out == nullptr;
  const bool fits = *out_length >= need;
  if (!query && fits) return std::nullopt;
  *out_length = need;
  return query ? CKR_OK : CKR_BUFFER_TOO_SMALL;
}

CK_RV Feed(Operation& op, CK_BYTE_PTR data, CK_ULONG length) {
  if (data == nullptr && length != 0) return CKR_ARGUMENTS_BAD;
  const std::span<const uint8_t> part(data, length);
  if (op.hash) return op.hash->Update(part) ? CKR_OK : CKR_GENERAL_ERROR;
  if (op.data.size() + part.size() > kMaxPaddedInput) return CKR_DATA_LEN_RANGE;
  op.data.insert(op.data.end(), part.begin(), part.end());
  return CKR_OK;
}

// The bytes the card's key signs: the data, or the DigestInfo of its hash.
CK_RV SignedBytes(Operation& op, Bytes* out) {
  if (!op.hash) {
    *out = op.data;
    return CKR_OK;
  }
  auto hash = op.hash->Final();
  if (!hash) return CKR_GENERAL_ERROR;
  *out = DigestInfo(op.mechanism, *hash);
  return CKR_OK;
}

// The key the operation began with, while its handle still names it: a
// session or another program may have destroyed it since, and a generation
// may have put a new key in its key slot. A card key is looked up on the
// card, in the same burst of commands as its use.
CK_RV KeyStillThere(Slot& slot, const Operation& op, KeyUse use) {
  if (use == KeyUse::kCard) {
    const CK_RV rv = slot.Refresh();
    if (rv != CKR_OK) return rv;
  }
  std::size_t entry = 0;
  return UsableKey(slot, op.key_object, use == KeyUse::kCard, &entry);
}

CK_RV FinishSign(Slot& slot, Operation& op, CK_BYTE_PTR out, CK_ULONG_PTR out_length) {
  Bytes payload, signature;
  CK_RV rv = KeyStillThere(slot, op, KeyUse::kCard);
  if (rv == CKR_OK) rv = SignedBytes(op, &payload);
  if (rv == CKR_OK) rv = CardResult(slot.card().Sign(static_cast<uint8_t>(op.key + 1), payload, signature));
  End(op);
  if (rv != CKR_OK) return rv;
  if (signature.size() > *out_length) return CKR_DEVICE_ERROR;
  std::memcpy(out, signature.data(), signature.size());
  *out_length = signature.size();
  return CKR_OK;
}

CK_RV FinishVerify(Slot& slot, Operation& op, CK_BYTE_PTR signature, CK_ULONG length) {
  Bytes payload;
  CK_RV rv = KeyStillThere(slot, op, KeyUse::kHost);
  if (rv == CKR_OK) rv = SignedBytes(op, &payload);
  const KeyEntry key = slot.directory().keys[op.key];
  End(op);
  if (rv != CKR_OK) return rv;
  if (signature == nullptr) return CKR_ARGUMENTS_BAD;
  if (length != kModulusBytes) return CKR_SIGNATURE_LEN_RANGE;
  return VerifyPkcs1(RecordModulus(key.public_record), RecordExponent(key.public_record), payload,
                     {signature, length});
}

CK_RV DecryptOnCard(Slot& slot, Operation& op, CK_BYTE_PTR data, CK_ULONG length) {
  if (data == nullptr) return CKR_ARGUMENTS_BAD;
  if (length != kModulusBytes) return CKR_ENCRYPTED_DATA_LEN_RANGE;
  if (const CK_RV rv = KeyStillThere(slot, op, KeyUse::kCard); rv != CKR_OK) return rv;
  Bytes plain;
  const int32_t status = slot.card().Decrypt(static_cast<uint8_t>(op.key + 1), {data, length}, plain);
  if (status == sw::kWrongData) return CKR_ENCRYPTED_DATA_INVALID;
  if (status != sw::kSuccess) return CardResult(status);
  op.result = std::move(plain);
  return CKR_OK;
}

CK_RV Deliver(Operation& op, const Bytes& result, CK_BYTE_PTR out, CK_ULONG_PTR out_length) {
  if (auto answer = NoRoom(out, out_length, result.size())) return *answer;
  if (!result.empty()) std::memcpy(out, result.data(), result.size());
  *out_length = result.size();
  End(op);
  return CKR_OK;
}

// The first data call decides whether the operation is single- or
// multi-part; a call of the other kind answers CKR_OPERATION_ACTIVE (and,
// like every failure, ends the operation). CKM_RSA_PKCS hashes nothing on
// the host and takes its data in one part only.
CK_RV Decide(Operation& op, Parts parts) {
  if (parts == Parts::kMulti && !op.hash) return CKR_FUNCTION_NOT_SUPPORTED;
  if (op.parts != Parts::kUndecided && op.parts != parts) return CKR_OPERATION_ACTIVE;
  op.parts = parts;
  return CKR_OK;
}

// Ends the operation unless the call only asked for the size or gave too
// small a buffer.
template <class F>
CK_RV Ending(Operation& op, F&& f) {
  const CK_RV rv = f();
  if (rv != CKR_OK && rv != CKR_BUFFER_TOO_SMALL) End(op);
  return rv;
}

}  // namespace
}  // namespace tarnwick::pkcs11

using namespace tarnwick::pkcs11;

extern "C" {

CK_RV C_SignInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return WithSession(handle, [&](Slot& slot, Session& session) {
    return Start(slot, session.sign, mechanism, CKF_SIGN, key, KeyUse::kCard);
  });
}

CK_RV C_Sign(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR signature,
             CK_ULONG_PTR signature_length) {
  return WithOperation(handle, &Session::sign, [&](Slot& slot, Operation& op) {
    return Ending(op, [&]() -> CK_RV {
      if (const CK_RV rv = Decide(op, Parts::kSingle); rv != CKR_OK) return rv;
      if (auto answer = NoRoom(signature, signature_length, kModulusBytes)) return *answer;
      const CK_RV rv = Feed(op, data, length);
      return rv != CKR_OK ? rv : FinishSign(slot, op, signature, signature_length);
    });
  });
}

CK_RV C_SignUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR part, CK_ULONG length) {
  return WithOperation(handle, &Session::sign, [&](Slot&, Operation& op) {
    return Ending(op, [&] {
      const CK_RV rv = Decide(op, Parts::kMulti);
      return rv != CKR_OK ? rv : Feed(op, part, length);
    });
  });
}

CK_RV C_SignFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR signature, CK_ULONG_PTR signature_length) {
  return WithOperation(handle, &Session::sign, [&](Slot& slot, Operation& op) {
    return Ending(op, [&]() -> CK_RV {
      if (const CK_RV rv = Decide(op, Parts::kMulti); rv != CKR_OK) return rv;
      if (auto answer = NoRoom(signature, signature_length, kModulusBytes)) return *answer;
      return FinishSign(slot, op, signature, signature_length);
    });
  });
}

CK_RV C_VerifyInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return WithSession(handle, [&](Slot& slot, Session& session) {
    return Start(slot, session.verify, mechanism, CKF_VERIFY, key, KeyUse::kHost);
  });
}

CK_RV C_Verify(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR signature,
               CK_ULONG signature_length) {
  return WithOperation(handle, &Session::verify, [&](Slot& slot, Operation& op) {
    CK_RV rv = Decide(op, Parts::kSingle);
    if (rv == CKR_OK) rv = Feed(op, data, length);
    if (rv != CKR_OK) {
      End(op);
      return rv;
    }
    return FinishVerify(slot, op, signature, signature_length);
  });
}

CK_RV C_VerifyUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR part, CK_ULONG length) {
  return WithOperation(handle, &Session::verify, [&](Slot&, Operation& op) {
    return Ending(op, [&] {
      const CK_RV rv = Decide(op, Parts::kMulti);
      return rv != CKR_OK ? rv : Feed(op, part, length);
    });
  });
}

CK_RV C_VerifyFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR signature, CK_ULONG signature_length) {
  return WithOperation(handle, &Session::verify, [&](Slot& slot, Operation& op) {
    if (const CK_RV rv = Decide(op, Parts::kMulti); rv != CKR_OK) {
      End(op);
      return rv;
    }
    return FinishVerify(slot, op, signature, signature_length);
  });
}

CK_RV C_EncryptInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return WithSession(handle, [&](Slot& slot, Session& session) {
    return Start(slot, session.encrypt, mechanism, CKF_ENCRYPT, key, KeyUse::kHost);
  });
}

CK_RV C_Encrypt(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                CK_ULONG_PTR out_length) {
  return WithOperation(handle, &Session::encrypt, [&](Slot& slot, Operation& op) {
    return Ending(op, [&]() -> CK_RV {
      if (auto answer = NoRoom(out, out_length, kModulusBytes)) return *answer;
      CK_RV rv = KeyStillThere(slot, op, KeyUse::kHost);
      if (rv == CKR_OK) rv = Feed(op, data, length);
      Bytes cipher;
      const KeyEntry& key = slot.directory().keys[op.key];
      if (rv == CKR_OK)
        rv = EncryptPkcs1(RecordModulus(key.public_record), RecordExponent(key.public_record), op.data, &cipher);
      return rv != CKR_OK ? rv : Deliver(op, cipher, out, out_length);
    });
  });
}

CK_RV C_DecryptInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE key) {
  return WithSession(handle, [&](Slot& slot, Session& session) {
    return Start(slot, session.decrypt, mechanism, CKF_DECRYPT, key, KeyUse::kCard);
  });
}

// The card decrypts once; a result that does not fit waits for the retry.
// Before that, a size query is answered with the modulus length.
CK_RV C_Decrypt(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
                CK_ULONG_PTR out_length) {
  return WithOperation(handle, &Session::decrypt, [&](Slot& slot, Operation& op) {
    return Ending(op, [&]() -> CK_RV {
      if (out_length == nullptr) return CKR_ARGUMENTS_BAD;
      if (!op.result) {
        if (out == nullptr) return *NoRoom(out, out_length, kModulusBytes);
        const CK_RV rv = DecryptOnCard(slot, op, data, length);
        if (rv != CKR_OK) return rv;
      }
      const Bytes result = *op.result;
      return Deliver(op, result, out, out_length);
    });
  });
}

CK_RV C_DigestInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism) {
  return WithSession(handle, [&](Slot& slot, Session& session) {
    return Start(slot, session.digest, mechanism, CKF_DIGEST, CK_INVALID_HANDLE, KeyUse::kNone);
  });
}

CK_RV C_Digest(CK_SESSION_HANDLE handle, CK_BYTE_PTR data, CK_ULONG length, CK_BYTE_PTR out,
               CK_ULONG_PTR out_length) {
  return WithOperation(handle, &Session::digest, [&](Slot&, Operation& op) {
    return Ending(op, [&]() -> CK_RV {
      if (const CK_RV rv = Decide(op, Parts::kSingle); rv != CKR_OK) return rv;
      if (auto answer = NoRoom(out, out_length, op.hash->Size())) return *answer;
      CK_RV rv = Feed(op, data, length);
      auto digest = rv == CKR_OK ? op.hash->Final() : std::nullopt;
      return rv != CKR_OK ? rv : !digest ? CKR_GENERAL_ERROR : Deliver(op, *digest, out, out_length);
    });
  });
}

CK_RV C_DigestUpdate(CK_SESSION_HANDLE handle, CK_BYTE_PTR part, CK_ULONG length) {
  return WithOperation(handle, &Session::digest, [&](Slot&, Operation& op) {
    return Ending(op, [&] {
      const CK_RV rv = Decide(op, Parts::kMulti);
      return rv != CKR_OK ? rv : Feed(op, part, length);
    });
  });
}

CK_RV C_DigestFinal(CK_SESSION_HANDLE handle, CK_BYTE_PTR out, CK_ULONG_PTR out_length) {
  return WithOperation(handle, &Session::digest, [&](Slot&, Operation& op) {
    return Ending(op, [&]() -> CK_RV {
      if (const CK_RV rv = Decide(op, Parts::kMulti); rv != CKR_OK) return rv;
      if (auto answer = NoRoom(out, out_length, op.hash->Size())) return *answer;
      auto digest = op.hash->Final();
      return !digest ? CKR_GENERAL_ERROR : Deliver(op, *digest, out, out_length);
    });
  });
}

CK_RV C_GenerateRandom(CK_SESSION_HANDLE handle, CK_BYTE_PTR out, CK_ULONG length) {
  return WithSession(handle, [&](Slot& slot, Session&) -> CK_RV {
    if (out == nullptr && length != 0) return CKR_ARGUMENTS_BAD;
    return length == 0 ? CKR_OK : CardResult(slot.card().Random({out, length}));
  });
}

// The card's generator takes no seed.
CK_RV C_SeedRandom(CK_SESSION_HANDLE handle, CK_BYTE_PTR seed, CK_ULONG length) {
  return WithSession(handle, [&](Slot&, Session&) {
    return seed == nullptr && length != 0 ? CKR_ARGUMENTS_BAD : CKR_RANDOM_SEED_NOT_SUPPORTED;
  });
}

// Only secret keys can be digested, and the card has none.
CK_RV C_DigestKey(CK_SESSION_HANDLE handle, CK_OBJECT_HANDLE key) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    if (!session.digest.active) return CKR_OPERATION_NOT_INITIALIZED;
    AttributeSet attributes;
    const CK_RV rv = ObjectAttributes(slot, key, &attributes);
    End(session.digest);
    return rv == CKR_OBJECT_HANDLE_INVALID ? CKR_KEY_HANDLE_INVALID : rv != CKR_OK ? rv : CKR_KEY_INDIGESTIBLE;
  });
}

// No mechanism recovers data from a signature.
CK_RV C_SignRecoverInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE) {
  return WithSession(handle,
                     [&](Slot&, Session&) { return mechanism == nullptr ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID; });
}

CK_RV C_VerifyRecoverInit(CK_SESSION_HANDLE handle, CK_MECHANISM_PTR mechanism, CK_OBJECT_HANDLE) {
  return WithSession(handle,
                     [&](Slot&, Session&) { return mechanism == nullptr ? CKR_ARGUMENTS_BAD : CKR_MECHANISM_INVALID; });
}

CK_RV C_SignRecover(CK_SESSION_HANDLE handle, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_OPERATION_NOT_INITIALIZED; });
}

CK_RV C_VerifyRecover(CK_SESSION_HANDLE handle, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_OPERATION_NOT_INITIALIZED; });
}

// RSA with PKCS #1 v1.5 encrypts and decrypts in one part only; the card
// has no combined operations.
#define TW_NOT_SUPPORTED(name, ...)                                                            \
  CK_RV name(CK_SESSION_HANDLE handle, __VA_ARGS__) {                                          \
    return WithSession(handle, [](Slot&, Session&) { return CKR_FUNCTION_NOT_SUPPORTED; });   \
  }
TW_NOT_SUPPORTED(C_EncryptUpdate, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_EncryptFinal, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_DecryptUpdate, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_DecryptFinal, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_DigestEncryptUpdate, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_DecryptDigestUpdate, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_SignEncryptUpdate, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR)
TW_NOT_SUPPORTED(C_DecryptVerifyUpdate, CK_BYTE_PTR, CK_ULONG, CK_BYTE_PTR, CK_ULONG_PTR)
#undef TW_NOT_SUPPORTED

}  // extern "C"
