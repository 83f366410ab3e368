// InitialLib and FreeLib: the driver module handle and the table of the six
// driver functions the library calls, the only process-wide state of the
// library.
#include <cstddef>

#include "driver_loader.h"
#include "transport/driver.h"
#include "tarnwick.h"

namespace tarnwick::driver {
namespace {

using OpenFn = uint32_t (*)(const char*);
using CloseFn = int32_t (*)(uint32_t);
using OneArgFn = int32_t (*)(int32_t);
using ResetCardFn = int32_t (*)(int32_t, int32_t, int32_t);

// Entry order is the order of resolution.
enum Entry : std::size_t { kCtOpen, kCtClose, kCtReset, kIccReset, kIccSetNad, kIccTsiApi, kEntryCount };

constexpr const char* kEntryNames[kEntryCount] = {"CT_open",   "CT_close",    "CT_reset",
                                                  "ICC_reset", "ICC_set_NAD", "ICC_tsi_api"};

loader::Module g_module = nullptr;
void* g_entries[kEntryCount] = {};

template <typename Fn>
Fn EntryAs(Entry entry) {
  return reinterpret_cast<Fn>(g_entries[entry]);
}

void ResolveTable() {
  for (std::size_t i = 0; i < kEntryCount; ++i) g_entries[i] = loader::FindFunction(g_module, kEntryNames[i]);
}

void ClearTable() {
  for (void*& entry : g_entries) entry = nullptr;
}

}  // namespace

std::optional<uint32_t> Open(const char* port) {
  if (auto fn = EntryAs<OpenFn>(kCtOpen)) return fn(port);
  return std::nullopt;
}

std::optional<int32_t> Close(uint32_t handle) {
  if (auto fn = EntryAs<CloseFn>(kCtClose)) return fn(handle);
  return std::nullopt;
}

std::optional<int32_t> ResetReader(int32_t arg) {
  if (auto fn = EntryAs<OneArgFn>(kCtReset)) return fn(arg);
  return std::nullopt;
}

std::optional<int32_t> ResetCard(int32_t arg1, int32_t arg2, int32_t arg3) {
  if (auto fn = EntryAs<ResetCardFn>(kIccReset)) return fn(arg1, arg2, arg3);
  return std::nullopt;
}

std::optional<int32_t> SetNad(int32_t nad) {
  if (auto fn = EntryAs<OneArgFn>(kIccSetNad)) return fn(nad);
  return std::nullopt;
}

int32_t Transmit(uint32_t handle, std::span<const uint8_t> command, uint8_t* rsp_len, uint8_t* rsp) {
  return loader::Transmit(EntryAs<loader::TransmitFn>(kIccTsiApi), handle, command, rsp_len, rsp);
}

// A bound driver stays bound: a second InitialLib resolves the table again
// from the same library whatever its selector.
uint8_t Bind(uint8_t selector) {
  if (g_module == nullptr) {
    // Beside this library is where its drivers are installed.
    g_module = loader::LoadDriver(loader::DriverFileName(selector), reinterpret_cast<const void*>(&Bind));
    if (g_module == nullptr) return 0;
  }
  ResolveTable();
  return 1;
}

// The table is emptied along with the handle so that no entry can point
// into an unloaded library.
int32_t Unbind() {
  if (g_module == nullptr) return 0;
  int32_t result = loader::UnloadDriver(g_module);
  g_module = nullptr;
  ClearTable();
  return result;
}

}  // namespace tarnwick::driver

extern "C" TW_API uint8_t InitialLib(uint8_t selector) { return tarnwick::driver::Bind(selector); }

extern "C" TW_API int32_t FreeLib(void) { return tarnwick::driver::Unbind(); }
