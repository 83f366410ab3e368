// PC/SC from libpcsclite.so.1, loaded at run time once for the process and
// kept loaded.
#include <dlfcn.h>

#include "pcsc_api.h"

namespace tarnwick::skorra {
namespace {

constexpr const char* kLibrary = "libpcsclite.so.1";

struct Loaded {
  PcscApi api{};
  std::string problem;  // empty once loaded
};

template <typename T>
bool Resolve(void* library, const char* name, T& out, std::string& problem) {
  out = reinterpret_cast<T>(dlsym(library, name));
  if (out == nullptr && problem.empty()) problem = std::string(kLibrary) + " lacks " + name;
  return out != nullptr;
}

Loaded LoadOnce() {
  Loaded loaded;
  void* library = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* why = dlerror();
    loaded.problem = why != nullptr ? why : std::string("cannot load ") + kLibrary;
    return loaded;
  }
  PcscApi& api = loaded.api;
  std::string& problem = loaded.problem;
  Resolve(library, "SCardEstablishContext", api.establish_context, problem);
  Resolve(library, "SCardReleaseContext", api.release_context, problem);
  Resolve(library, "SCardListReaders", api.list_readers, problem);
  Resolve(library, "SCardConnect", api.connect, problem);
  Resolve(library, "SCardReconnect", api.reconnect, problem);
  Resolve(library, "SCardDisconnect", api.disconnect, problem);
  Resolve(library, "SCardTransmit", api.transmit, problem);
  Resolve(library, "SCardBeginTransaction", api.begin_transaction, problem);
  Resolve(library, "SCardEndTransaction", api.end_transaction, problem);
  Resolve(library, "SCardStatus", api.status, problem);
  Resolve(library, "g_rgSCardT0Pci", api.pci_t0, problem);
  Resolve(library, "g_rgSCardT1Pci", api.pci_t1, problem);
  if (!problem.empty()) dlclose(library);
  return loaded;
}

}  // namespace

const PcscApi* LoadPcsc(std::string& problem) {
  static const Loaded loaded = LoadOnce();
  if (!loaded.problem.empty()) {
    problem = "PC/SC unavailable: " + loaded.problem;
    return nullptr;
  }
  return &loaded.api;
}

}  // namespace tarnwick::skorra
