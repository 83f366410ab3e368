// Sessions and login: the token's login state is shared by all its
// sessions and mirrors the card's, which a logout or the last closed
// session clears with a reset.

#include "module.h"

namespace tarnwick::pkcs11 {
namespace {

bool IsReadWrite(const Session& session) { return (session.flags & CKF_RW_SESSION) != 0; }

CK_STATE SessionState(const Slot& slot, const Session& session) {
  if (!IsReadWrite(session)) return slot.login == Login::kUser ? CKS_RO_USER_FUNCTIONS : CKS_RO_PUBLIC_SESSION;
  switch (slot.login) {
    case Login::kUser:
      return CKS_RW_USER_FUNCTIONS;
    case Login::kSecurityOfficer:
      return CKS_RW_SO_FUNCTIONS;
    default:
      return CKS_RW_PUBLIC_SESSION;
  }
}

std::span<const uint8_t> PinBytes(CK_UTF8CHAR_PTR pin, CK_ULONG length) { return {pin, length}; }

// The user's passphrase. A PIN longer than the card holds cannot be right:
// it is refused as incorrect without reaching the card, so it costs no try.
// The directory is read again for the private objects; nothing is written.
CK_RV LoginUser(Slot& slot, std::span<const uint8_t> pin) {
  if (pin.empty()) return CKR_PIN_LEN_RANGE;
  if (pin.size() > kPinBytes) return CKR_PIN_INCORRECT;
  const CK_RV rv = PinResult(slot.card().Verify(pin));
  if (rv != CKR_OK) return rv;
  slot.login = Login::kUser;
  slot.card().KeepPin(pin);
  bool found = false;
  const CK_RV loaded = slot.LoadDirectory(&found);
  return loaded == CKR_DEVICE_REMOVED ? loaded : CKR_OK;
}

// KeyUnblock with the unblocking code; the card's answer is all it tells of
// the code's tries.
CK_RV UnblockUserPin(Slot& slot, std::span<const uint8_t> code, std::span<const uint8_t> new_pin) {
  PaddedPin code_padded, new_padded;
  if (!PadPin(code, code_padded.bytes)) return code.empty() ? CKR_PIN_LEN_RANGE : CKR_PIN_INCORRECT;
  if (!PadPin(new_pin, new_padded.bytes)) return CKR_PIN_LEN_RANGE;
  const int32_t status = slot.card().Unblock(code_padded.bytes, new_padded.bytes);
  slot.NoteUnblockAnswer(status);
  return PinResult(status);
}

// The card has no command that checks the unblocking code alone: it is
// kept until C_InitPIN hands it to the card, or the login ends.
CK_RV LoginSecurityOfficer(Slot& slot, std::span<const uint8_t> code) {
  if (slot.HasReadOnlySession()) return CKR_SESSION_READ_ONLY_EXISTS;
  if (!PadPin(code, slot.so_code)) return CKR_PIN_LEN_RANGE;
  slot.login = Login::kSecurityOfficer;
  return CKR_OK;
}

CK_RV ChangeUserPin(Slot& slot, std::span<const uint8_t> old_pin, std::span<const uint8_t> new_pin) {
  PaddedPin old_padded, new_padded;
  if (!PadPin(old_pin, old_padded.bytes) || !PadPin(new_pin, new_padded.bytes)) return CKR_PIN_LEN_RANGE;
  const CK_RV rv = PinResult(slot.card().ChangePin(old_padded.bytes, new_padded.bytes));
  // The card checks the old value like a VERIFY: a match leaves the
  // passphrase verified, a mismatch unverified. Either way the card must
  // end up as the login state says.
  if (rv == CKR_OK && slot.login != Login::kUser) {
    const CK_RV reset = slot.EndLogin();
    if (reset != CKR_OK) return reset;
  }
  if (rv == CKR_OK && slot.login == Login::kUser) slot.card().KeepPin(new_pin);
  const bool card_forgot = rv == CKR_PIN_INCORRECT || rv == CKR_PIN_LOCKED;
  if (card_forgot && slot.login == Login::kUser) {
    const CK_RV reset = slot.EndLogin();
    if (reset != CKR_OK) return reset;
  }
  return rv;
}

}  // namespace
}  // namespace tarnwick::pkcs11

using namespace tarnwick::pkcs11;

extern "C" {

CK_RV C_OpenSession(CK_SLOT_ID id, CK_FLAGS flags, CK_VOID_PTR, CK_NOTIFY, CK_SESSION_HANDLE_PTR handle) {
  return WithSlot(id, [&](Slot& slot) -> CK_RV {
    if (handle == nullptr) return CKR_ARGUMENTS_BAD;
    if ((flags & CKF_SERIAL_SESSION) == 0) return CKR_SESSION_PARALLEL_NOT_SUPPORTED;
    if (!slot.Present()) return CKR_TOKEN_NOT_PRESENT;
    if (slot.login == Login::kSecurityOfficer && (flags & CKF_RW_SESSION) == 0)
      return CKR_SESSION_READ_WRITE_SO_EXISTS;
    // A damaged directory still lets sessions open: only the object calls
    // refuse it.
    if (slot.sessions.empty()) {
      bool found = false;
      const CK_RV rv = slot.LoadDirectory(&found);
      if (rv != CKR_OK && !slot.damaged()) return rv;
    }
    const CK_SESSION_HANDLE h = slot.NewSessionHandle();
    slot.sessions[h].flags = flags & (CKF_SERIAL_SESSION | CKF_RW_SESSION);
    *handle = h;
    return CKR_OK;
  });
}

CK_RV C_CloseSession(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [&](Slot& slot, Session&) -> CK_RV {
    slot.sessions.erase(handle);
    return slot.sessions.empty() && slot.login != Login::kNone ? slot.EndLogin() : CKR_OK;
  });
}

CK_RV C_CloseAllSessions(CK_SLOT_ID id) {
  return WithSlot(id, [&](Slot& slot) -> CK_RV {
    slot.sessions.clear();
    return slot.login != Login::kNone ? slot.EndLogin() : CKR_OK;
  });
}

CK_RV C_GetSessionInfo(CK_SESSION_HANDLE handle, CK_SESSION_INFO_PTR info) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    info->slotID = slot.index() + 1;
    info->state = SessionState(slot, session);
    info->flags = session.flags;
    info->ulDeviceError = 0;
    return CKR_OK;
  });
}

CK_RV C_Login(CK_SESSION_HANDLE handle, CK_USER_TYPE user, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
  return WithSession(handle, [&](Slot& slot, Session&) -> CK_RV {
    if (pin == nullptr) return CKR_ARGUMENTS_BAD;
    if (user == CKU_CONTEXT_SPECIFIC) return CKR_OPERATION_NOT_INITIALIZED;
    if (user != CKU_USER && user != CKU_SO) return CKR_USER_TYPE_INVALID;
    const Login wanted = user == CKU_USER ? Login::kUser : Login::kSecurityOfficer;
    if (slot.login == wanted) return CKR_USER_ALREADY_LOGGED_IN;
    if (slot.login != Login::kNone) return CKR_USER_ANOTHER_ALREADY_LOGGED_IN;
    return wanted == Login::kUser ? LoginUser(slot, PinBytes(pin, length))
                                  : LoginSecurityOfficer(slot, PinBytes(pin, length));
  });
}

CK_RV C_Logout(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [&](Slot& slot, Session&) -> CK_RV {
    if (slot.login == Login::kNone) return CKR_USER_NOT_LOGGED_IN;
    return slot.EndLogin();
  });
}

CK_RV C_InitPIN(CK_SESSION_HANDLE handle, CK_UTF8CHAR_PTR pin, CK_ULONG length) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    if (pin == nullptr) return CKR_ARGUMENTS_BAD;
    if (!IsReadWrite(session)) return CKR_SESSION_READ_ONLY;
    if (slot.login != Login::kSecurityOfficer) return CKR_USER_NOT_LOGGED_IN;
    PaddedPin padded;
    if (!PadPin(PinBytes(pin, length), padded.bytes)) return CKR_PIN_LEN_RANGE;
    const int32_t status = slot.card().Unblock(slot.so_code, padded.bytes);
    slot.NoteUnblockAnswer(status);
    return PinResult(status);
  });
}

CK_RV C_SetPIN(CK_SESSION_HANDLE handle, CK_UTF8CHAR_PTR old_pin, CK_ULONG old_length, CK_UTF8CHAR_PTR new_pin,
               CK_ULONG new_length) {
  return WithSession(handle, [&](Slot& slot, Session& session) -> CK_RV {
    if (old_pin == nullptr || new_pin == nullptr) return CKR_ARGUMENTS_BAD;
    if (!IsReadWrite(session)) return CKR_SESSION_READ_ONLY;
    // The card keeps no way to change its unblocking code.
    if (slot.login == Login::kSecurityOfficer) return CKR_FUNCTION_NOT_SUPPORTED;
    // Outside a login the standard makes this a change of the user PIN. A
    // blocked PIN cannot be changed with itself, so there the old value is
    // the unblocking code, as `pkcs11-tool --unlock-pin --puk` sends it: a
    // wrong one costs a try of the code, never of the PIN.
    if (slot.login == Login::kNone) {
      PinState state;
      const CK_RV rv = CardResult(slot.card().ReadPinState(state));
      if (rv != CKR_OK) return rv;
      if (state.blocked) return UnblockUserPin(slot, PinBytes(old_pin, old_length), PinBytes(new_pin, new_length));
    }
    return ChangeUserPin(slot, PinBytes(old_pin, old_length), PinBytes(new_pin, new_length));
  });
}

CK_RV C_GetOperationState(CK_SESSION_HANDLE handle, CK_BYTE_PTR, CK_ULONG_PTR) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_FUNCTION_NOT_SUPPORTED; });
}

CK_RV C_SetOperationState(CK_SESSION_HANDLE handle, CK_BYTE_PTR, CK_ULONG, CK_OBJECT_HANDLE, CK_OBJECT_HANDLE) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_FUNCTION_NOT_SUPPORTED; });
}

CK_RV C_GetFunctionStatus(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_FUNCTION_NOT_PARALLEL; });
}

CK_RV C_CancelFunction(CK_SESSION_HANDLE handle) {
  return WithSession(handle, [](Slot&, Session&) { return CKR_FUNCTION_NOT_PARALLEL; });
}

}  // extern "C"
