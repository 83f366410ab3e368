// The module's life: C_Initialize and C_Finalize, the slots, and the way
// every other call reaches a slot or a session under the right locks with
// every exception caught before it reaches the caller.
#pragma once

#include <array>
#include <memory>
#include <new>
#include <shared_mutex>

#include "debug_log.h"
#include "slot.h"

namespace tarnwick::pkcs11 {

class Module {
 public:
  std::array<std::unique_ptr<Slot>, kSlotCount> slots;
  bool usb_driver = false;
  // The virtual cards live only as long as the process.
  bool cards_in_memory = false;
};

CK_RV InitializeModule(CK_VOID_PTR args);
CK_RV FinalizeModule(CK_VOID_PTR reserved);

// Held shared by every call and exclusively by C_Initialize, C_Finalize and
// fork, so that the module never changes under a call.
std::shared_mutex& LifecycleLock();
Module* CurrentModule();

// Forgets the module, and its lock, in a forked child (fork_posix.cpp).
void AbandonModuleAfterFork();
void InstallForkHandlers();

template <class F>
CK_RV Guarded(F&& f) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return CKR_HOST_MEMORY;
  } catch (...) {
    return CKR_GENERAL_ERROR;
  }
}

// Every call the log shows goes through here; `where` names the C_*
// function that called.
template <class F>
CK_RV WithModule(F&& f, const char* where = __builtin_FUNCTION()) noexcept {
  BeginCall();
  return Logged(Guarded([&]() -> CK_RV {
                  std::shared_lock lifecycle(LifecycleLock());
                  Module* module = CurrentModule();
                  if (module == nullptr) return CKR_CRYPTOKI_NOT_INITIALIZED;
                  return f(*module);
                }),
                where);
}

// A card found gone ends the slot's sessions; a card another program reset
// has forgotten the login, and so does the token.
inline CK_RV AfterCardCall(Slot& slot, CK_RV rv) {
  if (rv == CKR_DEVICE_REMOVED) slot.Forget();
  if (TakeCardReset()) slot.DropLogin();
  return rv;
}

template <class F>
CK_RV WithSlot(CK_SLOT_ID id, F&& f, const char* where = __builtin_FUNCTION()) noexcept {
  return WithModule(
      [&](Module& module) -> CK_RV {
        if (id < 1 || id > kSlotCount) return CKR_SLOT_ID_INVALID;
        Slot& slot = *module.slots[id - 1];
        Hold hold(slot.lock());
        return AfterCardCall(slot, f(slot));
      },
      where);
}

template <class F>
CK_RV WithSession(CK_SESSION_HANDLE handle, F&& f,
                  const char* where = __builtin_FUNCTION()) noexcept {
  return WithModule([&](Module& module) -> CK_RV {
    auto index = SlotOfSession(handle);
    if (!index) return CKR_SESSION_HANDLE_INVALID;
    Slot& slot = *module.slots[*index];
    Hold hold(slot.lock());
    auto it = slot.sessions.find(handle);
    if (it == slot.sessions.end()) return CKR_SESSION_HANDLE_INVALID;
    return AfterCardCall(slot, f(slot, it->second));
  }, where);
}

}  // namespace tarnwick::pkcs11
