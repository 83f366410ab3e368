// The replay driver's one extra export: the harness that loaded it installs
// the functions that answer for the reader and the card, so every answer the
// library gets comes from the fuzzer's input.
#pragma once

#include <cstdint>

namespace twfuzz {

struct ReplayHooks {
  uint32_t (*open)(const char* port);
  int32_t (*close)(uint32_t handle);
  // CT_reset, ICC_reset and ICC_set_NAD: results the library passes through.
  int32_t (*pass)();
  int32_t (*transmit)(uint32_t handle, uint8_t cmd_len, const uint8_t* cmd, uint8_t* rsp_len,
                      uint8_t* rsp);
};

// Looked up by name in the loaded driver.
constexpr const char* kInstallHooksName = "TwReplayInstallHooks";
using InstallHooksFn = void (*)(const ReplayHooks*);

}  // namespace twfuzz
