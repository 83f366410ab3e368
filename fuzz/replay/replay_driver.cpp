// The replay reader driver, built as libskorra.so and libusbskorra.so: each
// driver function hands its call to the hooks the fuzz harness installed.
// Until hooks are installed the reader cannot be opened and every exchange
// fails.
#include "replay/replay_hooks.h"
#include "tarnwick_driver.h"
#include "tarnwick_status.h"

namespace {

const twfuzz::ReplayHooks* g_hooks = nullptr;

constexpr int32_t kExchangeFailed = TW_SW_EXCHANGE_FAILED;

}  // namespace

extern "C" {

TW_DRIVER_API void TwReplayInstallHooks(const twfuzz::ReplayHooks* hooks) { g_hooks = hooks; }

TW_DRIVER_API uint32_t CT_open(const char* port) { return g_hooks ? g_hooks->open(port) : 0; }

TW_DRIVER_API int32_t CT_close(uint32_t handle) { return g_hooks ? g_hooks->close(handle) : 1; }

TW_DRIVER_API int32_t CT_reset(int32_t) { return g_hooks ? g_hooks->pass() : 0; }

TW_DRIVER_API int32_t ICC_reset(int32_t, int32_t, int32_t) { return g_hooks ? g_hooks->pass() : 0; }

TW_DRIVER_API int32_t ICC_set_NAD(int32_t) { return g_hooks ? g_hooks->pass() : 0; }

TW_DRIVER_API int32_t ICC_tsi_api(uint32_t handle, uint8_t cmd_len, const uint8_t* cmd,
                                  uint8_t* rsp_len, uint8_t* rsp) {
  if (g_hooks == nullptr) return kExchangeFailed;
  return g_hooks->transmit(handle, cmd_len, cmd, rsp_len, rsp);
}

}  // extern "C"
