// The replay reader and card behind the library.
#include "exports/replay_session.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "common/check.h"
#include "protocol/status_words.h"
#include "replay/replay_hooks.h"

namespace twfuzz {
namespace {

using tarnwick::sw::kCardReady;
constexpr uint8_t kHeaderSize = 5;

ByteSource* g_stream = nullptr;
uint64_t g_calls_left = 0;
uint32_t g_reader = 0;

bool IsPortName(const char* port) {
  static const char* const kPorts[] = {"COM1", "COM2", "COM3", "COM4"};
  for (const char* name : kPorts)
    if (std::strcmp(port, name) == 0) return true;
  return false;
}

uint32_t Open(const char* port) {
  Check(port != nullptr && IsPortName(port), "CT_open got no port name COM1 to COM4");
  return g_stream->U32();
}

int32_t Close(uint32_t) { return static_cast<int32_t>(g_stream->U32()); }

int32_t Pass() { return static_cast<int32_t>(g_stream->U32()); }

// Reads every command byte, so that a command longer than the library's
// frame is an overread the sanitizer reports here.
uint8_t ReadCommand(const uint8_t* cmd, uint8_t cmd_len) {
  uint8_t sum = 0;
  for (int i = 0; i < cmd_len; ++i) sum = static_cast<uint8_t>(sum + cmd[i]);
  return sum;
}

int32_t Transmit(uint32_t handle, uint8_t cmd_len, const uint8_t* cmd, uint8_t* rsp_len,
                 uint8_t* rsp) {
  Check(g_calls_left > 0, "more driver calls than the export's bound");
  --g_calls_left;
  Check(handle == g_reader, "the reader handle did not reach the driver unchanged");
  Check(cmd != nullptr && rsp_len != nullptr && rsp != nullptr, "a null pointer to the driver");
  Check(cmd_len >= kHeaderSize, "a command shorter than its header");
  volatile uint8_t sink = ReadCommand(cmd, cmd_len);
  (void)sink;
  if (g_stream->empty()) {
    *rsp_len = 0;
    return kCardReady;
  }
  const int32_t sw = g_stream->U16();
  const uint8_t length = g_stream->Byte();
  g_stream->Take(rsp, length);
  *rsp_len = length;
  return sw;
}

const ReplayHooks kHooks = {Open, Close, Pass, Transmit};

void LoadDriver(const char* path) {
  // Kept open for good: the library's own load and unload by bare name then
  // only count references.
  void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load the replay driver %s: %s\n", path, dlerror());
    Fail("replay driver missing");
  }
  auto install = reinterpret_cast<InstallHooksFn>(dlsym(module, kInstallHooksName));
  Check(install != nullptr, "the replay driver has no hook installer");
  install(&kHooks);
}

}  // namespace

void LoadReplayDrivers() {
  static const bool loaded = [] {
    LoadDriver(TW_REPLAY_SERIAL_DRIVER);
    LoadDriver(TW_REPLAY_USB_DRIVER);
    return true;
  }();
  (void)loaded;
}

void ReplayFrom(ByteSource* stream) { g_stream = stream; }

void AllowDriverCalls(uint64_t calls, uint32_t reader) {
  g_calls_left = calls;
  g_reader = reader;
}

}  // namespace twfuzz
