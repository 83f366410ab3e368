// C_Initialize and C_Finalize: binding the driver the environment names,
// making the four slots, and undoing both. The default driver's virtual
// cards are kept in the user's card folder unless the environment says
// otherwise.
#include "module.h"

#include "card_folder.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <tarnwick.h>

namespace tarnwick::pkcs11 {
namespace {

constexpr uint8_t kSerialDriver = 1;
constexpr uint8_t kUsbDriver = 0;

// A pointer, so that a forked child can start with a fresh lock: the one it
// inherits is held by its parent's forking thread, and a child cannot
// release a write lock taken by another thread.
std::shared_mutex* g_lifecycle = new std::shared_mutex;
Module* g_module = nullptr;
// A child's copy of its parent's module: its readers are closed when the
// child initialises, and nothing else of it is touched.
Module* g_inherited = nullptr;

// TARNWICK_PKCS11_DRIVER: serial (the default: the virtual cards) or usb.
bool ChooseDriver(bool* usb) {
  const char* value = std::getenv("TARNWICK_PKCS11_DRIVER");
  if (value == nullptr || *value == '\0' || std::strcmp(value, "serial") == 0) {
    *usb = false;
    return true;
  }
  *usb = std::strcmp(value, "usb") == 0;
  return *usb;
}

// The virtual cards, unless the serial driver was told to use PC/SC.
bool UsesVirtualCards(bool usb) {
  const char* backend = std::getenv("SKORRA_BACKEND");
  return !usb && (backend == nullptr || std::strcmp(backend, "pcsc") != 0);
}

void CloseInheritedReaders() {
  if (g_inherited == nullptr) return;
  for (auto& slot : g_inherited->slots) slot->card().Close();
  g_inherited = nullptr;
}

}  // namespace

std::shared_mutex& LifecycleLock() { return *g_lifecycle; }
Module* CurrentModule() { return g_module; }

CK_RV InitializeModule(CK_VOID_PTR args) {
  return Guarded([&]() -> CK_RV {
    LockFactory locks;
    CK_RV rv = LockFactory::FromArguments(static_cast<const CK_C_INITIALIZE_ARGS*>(args), &locks);
    if (rv != CKR_OK) return rv;
    std::unique_lock lifecycle(*g_lifecycle);
    if (g_module != nullptr) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
    InstallForkHandlers();
    CloseInheritedReaders();
    auto module = std::make_unique<Module>();
    if (!ChooseDriver(&module->usb_driver)) {
      // A setting the application cannot see must reach a person.
      std::fputs("tarnwick-pkcs11: TARNWICK_PKCS11_DRIVER must be serial or usb\n", stderr);
      return CKR_GENERAL_ERROR;
    }
    // Before InitialLib: the driver reads its folder when a port opens.
    if (UsesVirtualCards(module->usb_driver)) module->cards_in_memory = KeepVirtualCards() == CardKeeping::kInMemory;
    for (std::size_t i = 0; i < kSlotCount; ++i) {
      auto lock = locks.Make();
      if (!lock) return CKR_CANT_LOCK;
      module->slots[i] = std::make_unique<Slot>(i, module->usb_driver, std::move(lock));
    }
    if (InitialLib(module->usb_driver ? kUsbDriver : kSerialDriver) != 1) {
      ForgetUserCardFolder();
      return CKR_DEVICE_ERROR;
    }
    g_module = module.release();
    return CKR_OK;
  });
}

CK_RV FinalizeModule(CK_VOID_PTR reserved) {
  return Guarded([&]() -> CK_RV {
    if (reserved != nullptr) return CKR_ARGUMENTS_BAD;
    std::unique_lock lifecycle(*g_lifecycle);
    if (g_module == nullptr) return CKR_CRYPTOKI_NOT_INITIALIZED;
    std::unique_ptr<Module> module(g_module);
    g_module = nullptr;
    for (auto& slot : module->slots) slot->Forget();
    module.reset();
    FreeLib();
    ForgetUserCardFolder();
    return CKR_OK;
  });
}

// Called in the child, whose inherited lifecycle lock the parent holds: it
// is left behind, like the module.
void AbandonModuleAfterFork() {
  if (g_module != nullptr) g_inherited = g_module;
  g_module = nullptr;
  g_lifecycle = new std::shared_mutex;
}

}  // namespace tarnwick::pkcs11
