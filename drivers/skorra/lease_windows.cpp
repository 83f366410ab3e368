// Windows: a thread cannot end while the loader lock is held, and it is held
// while a DLL unloads (and ports left open are closed then), so a stopped
// watcher is let go. It holds a reference to the driver's DLL from its start
// and drops it as it ends (FreeLibraryAndExitThread), so the DLL is never
// unmapped under a watcher still on its way out.
#include <windows.h>

#include "lease.h"

namespace tarnwick::skorra {

std::thread StartWatcher(std::function<void()> watch) {
  HMODULE self = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&StartWatcher), &self);
  return std::thread([watch = std::move(watch), self]() mutable {
    watch();
    watch = nullptr;
    if (self != nullptr) FreeLibraryAndExitThread(self, 0);
  });
}

void EndWatcher(std::thread& watcher) { watcher.detach(); }

}  // namespace tarnwick::skorra
