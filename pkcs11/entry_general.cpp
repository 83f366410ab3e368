// General-purpose, slot and token calls: C_Initialize to C_GetMechanismInfo.
#include <algorithm>
#include <cstring>
#include <string_view>

#include "module.h"

namespace tarnwick::pkcs11 {
namespace {

constexpr CK_VERSION kModuleVersion = {1, 0};
constexpr CK_VERSION kCardVersion = {1, 0};

// Cryptoki's text fields are blank-padded and not terminated.
void Fill(unsigned char* field, std::size_t width, std::string_view text) {
  std::memset(field, ' ', width);
  std::memcpy(field, text.data(), std::min(width, text.size()));
}

// Cryptoki's list convention: without a buffer the call asks for the count;
// a buffer too short gets the count and CKR_BUFFER_TOO_SMALL.
template <class T, class Items>
CK_RV CopyList(const Items& items, T* list, CK_ULONG_PTR count) {
  if (list == nullptr) {
    *count = items.size();
    return CKR_OK;
  }
  const bool fits = *count >= items.size();
  *count = items.size();
  if (!fits) return CKR_BUFFER_TOO_SMALL;
  std::copy(items.begin(), items.end(), list);
  return CKR_OK;
}

CK_FLAGS PinFlags(const PinState& pin) {
  if (pin.blocked) return CKF_USER_PIN_LOCKED;
  if (pin.tries_left < 0 || pin.tries_left >= kPinTriesIssued) return 0;
  return CKF_USER_PIN_COUNT_LOW | (pin.tries_left == 1 ? CKF_USER_PIN_FINAL_TRY : 0);
}

CK_RV FillTokenInfo(Slot& slot, CK_TOKEN_INFO* info) {
  DirectoryHeader header;
  CK_RV rv = slot.ReadHeader(&header);
  if (rv != CKR_OK) return rv;
  PinState pin;
  rv = CardResult(slot.card().ReadPinState(pin));
  if (rv != CKR_OK) return rv;
  std::memset(info, 0, sizeof *info);
  Fill(info->label, sizeof info->label, header.label);
  Fill(info->manufacturerID, sizeof info->manufacturerID, "Tarnwick");
  Fill(info->model, sizeof info->model, "RSA-1024 card");
  Fill(info->serialNumber, sizeof info->serialNumber, header.serial);
  info->flags = CKF_RNG | CKF_LOGIN_REQUIRED | CKF_USER_PIN_INITIALIZED | CKF_TOKEN_INITIALIZED | PinFlags(pin) |
                slot.UnblockCodeFlags();
  info->ulMaxSessionCount = CK_EFFECTIVELY_INFINITE;
  info->ulMaxRwSessionCount = CK_EFFECTIVELY_INFINITE;
  info->ulSessionCount = slot.sessions.size();
  info->ulRwSessionCount = static_cast<CK_ULONG>(std::count_if(slot.sessions.begin(), slot.sessions.end(), [](auto& s) {
    return (s.second.flags & CKF_RW_SESSION) != 0;
  }));
  info->ulMaxPinLen = kPinBytes;
  info->ulMinPinLen = 1;
  info->ulTotalPublicMemory = CK_UNAVAILABLE_INFORMATION;
  info->ulFreePublicMemory = CK_UNAVAILABLE_INFORMATION;
  info->ulTotalPrivateMemory = CK_UNAVAILABLE_INFORMATION;
  info->ulFreePrivateMemory = CK_UNAVAILABLE_INFORMATION;
  info->hardwareVersion = kCardVersion;
  info->firmwareVersion = kCardVersion;
  return CKR_OK;
}

}  // namespace
}  // namespace tarnwick::pkcs11

using namespace tarnwick::pkcs11;

extern "C" {

CK_RV C_Initialize(CK_VOID_PTR args) { return Logged(InitializeModule(args)); }

CK_RV C_Finalize(CK_VOID_PTR reserved) { return Logged(FinalizeModule(reserved)); }

CK_RV C_GetInfo(CK_INFO_PTR info) {
  return WithModule([&](Module&) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    std::memset(info, 0, sizeof *info);
    info->cryptokiVersion = {CRYPTOKI_VERSION_MAJOR, CRYPTOKI_VERSION_MINOR};
    Fill(info->manufacturerID, sizeof info->manufacturerID, "Tarnwick");
    Fill(info->libraryDescription, sizeof info->libraryDescription, "Tarnwick smart card module");
    info->libraryVersion = kModuleVersion;
    return CKR_OK;
  });
}

CK_RV C_GetSlotList(CK_BBOOL token_present, CK_SLOT_ID_PTR list, CK_ULONG_PTR count) {
  return WithModule([&](Module& module) -> CK_RV {
    if (count == nullptr) return CKR_ARGUMENTS_BAD;
    std::vector<CK_SLOT_ID> ids;
    for (auto& slot : module.slots) {
      Hold hold(slot->lock());
      if (token_present == CK_FALSE || slot->Present()) ids.push_back(slot->index() + 1);
    }
    return CopyList(ids, list, count);
  });
}

CK_RV C_GetSlotInfo(CK_SLOT_ID id, CK_SLOT_INFO_PTR info) {
  return WithSlot(id, [&](Slot& slot) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    std::memset(info, 0, sizeof *info);
    const char* kind = slot.usb()                          ? " (PC/SC reader)"
                       : CurrentModule()->cards_in_memory ? " (virtual card, in memory)"
                                                          : " (virtual card)";
    const std::string description = "Tarnwick COM" + std::to_string(slot.port()) + kind;
    Fill(info->slotDescription, sizeof info->slotDescription, description);
    Fill(info->manufacturerID, sizeof info->manufacturerID, "Tarnwick");
    info->flags = CKF_REMOVABLE_DEVICE | CKF_HW_SLOT | (slot.Present() ? CKF_TOKEN_PRESENT : 0);
    info->hardwareVersion = kModuleVersion;
    info->firmwareVersion = kModuleVersion;
    return CKR_OK;
  });
}

CK_RV C_GetTokenInfo(CK_SLOT_ID id, CK_TOKEN_INFO_PTR info) {
  return WithSlot(id, [&](Slot& slot) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    if (!slot.Present()) return CKR_TOKEN_NOT_PRESENT;
    return FillTokenInfo(slot, info);
  });
}

// Slot events are not watched: a non-blocking call finds none.
CK_RV C_WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID_PTR, CK_VOID_PTR) {
  return WithModule([&](Module&) { return (flags & CKF_DONT_BLOCK) != 0 ? CKR_NO_EVENT : CKR_FUNCTION_NOT_SUPPORTED; });
}

CK_RV C_GetMechanismList(CK_SLOT_ID id, CK_MECHANISM_TYPE_PTR list, CK_ULONG_PTR count) {
  return WithSlot(id, [&](Slot&) -> CK_RV {
    if (count == nullptr) return CKR_ARGUMENTS_BAD;
    return CopyList(MechanismList(), list, count);
  });
}

CK_RV C_GetMechanismInfo(CK_SLOT_ID id, CK_MECHANISM_TYPE type, CK_MECHANISM_INFO_PTR info) {
  return WithSlot(id, [&](Slot&) -> CK_RV {
    if (info == nullptr) return CKR_ARGUMENTS_BAD;
    auto found = MechanismInfo(type);
    if (!found) return CKR_MECHANISM_INVALID;
    *info = *found;
    return CKR_OK;
  });
}

// Erasing a card is left to the card's own tools (docs/pkcs11.md).
CK_RV C_InitToken(CK_SLOT_ID id, CK_UTF8CHAR_PTR, CK_ULONG, CK_UTF8CHAR_PTR) {
  return WithSlot(id, [](Slot&) { return CKR_FUNCTION_NOT_SUPPORTED; });
}

}  // extern "C"
