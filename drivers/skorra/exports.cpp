// The twelve names a reader driver exports: four ports, each with a virtual
// card or a card in a PC/SC reader behind it. Handles are the port numbers
// 1 to 4. Built twice: the serial variant prefers the virtual cards, the
// USB variant the PC/SC readers.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "reader.h"
#include "tarnwick_driver.h"

using tarnwick::skorra::FindPort;
using tarnwick::skorra::Port;

namespace {

// The results of the reader functions: done, or not (unknown or closed
// handle, bad argument).
constexpr int32_t kDone = 0;
constexpr int32_t kRefused = 1;

#ifdef SKORRA_PREFERS_PCSC
constexpr tarnwick::skorra::BackendKind kPreferred = tarnwick::skorra::BackendKind::kPcsc;
#else
constexpr tarnwick::skorra::BackendKind kPreferred = tarnwick::skorra::BackendKind::kVirtual;
#endif

}  // namespace

extern "C" {

TW_DRIVER_API uint32_t CT_open(const char* port) {
  const int number = tarnwick::skorra::PortNumber(port);
  return number == 0 ? 0 : FindPort(static_cast<uint32_t>(number))->Open(number, kPreferred);
}

TW_DRIVER_API int32_t CT_close(uint32_t handle) {
  Port* port = FindPort(handle);
  return port != nullptr && port->Close() ? kDone : kRefused;
}

// The reader's reset takes the card's power away with it, so the card comes
// back as after ICC_reset.
TW_DRIVER_API int32_t CT_reset(int32_t handle) {
  Port* port = FindPort(static_cast<uint32_t>(handle));
  return port != nullptr && port->PowerUp("reader reset") ? kDone : kRefused;
}

// Arguments 2 and 3 are reserved and pass as 0; any value is accepted.
TW_DRIVER_API int32_t ICC_reset(int32_t handle, int32_t, int32_t) {
  Port* port = FindPort(static_cast<uint32_t>(handle));
  return port != nullptr && port->PowerUp("power up") ? kDone : kRefused;
}

// The node address is a byte of the block protocol; the virtual reader has
// no blocks, so it only notes the address in the trace of each open port.
TW_DRIVER_API int32_t ICC_set_NAD(int32_t nad) {
  if (nad < 0 || nad > 0xFF) return kRefused;
  char event[32];
  std::snprintf(event, sizeof event, "node address %02X", static_cast<unsigned>(nad));
  int count = 0;
  Port* ports = tarnwick::skorra::AllPorts(count);
  for (int i = 0; i < count; ++i) ports[i].Announce(event);
  return kDone;
}

TW_DRIVER_API int32_t ICC_tsi_api(uint32_t handle, uint8_t cmd_len, const uint8_t* cmd, uint8_t* rsp_len,
                                  uint8_t* rsp) {
  Port* port = FindPort(handle);
  if (port == nullptr) {
    if (rsp_len != nullptr) *rsp_len = 0;
    return tarnwick::skorra::kExchangeFailed;
  }
  return port->Transmit(cmd_len, cmd, rsp_len, rsp);
}

TW_DRIVER_API int32_t CT_describe(uint32_t handle, char* text, uint32_t text_size, uint8_t* atr,
                                  uint8_t* atr_len) {
  constexpr std::size_t kAtrRoom = 33;
  Port* port = FindPort(handle);
  std::string description;
  std::vector<uint8_t> answer;
  if (port == nullptr || text == nullptr || text_size == 0 || atr == nullptr || atr_len == nullptr ||
      !port->Describe(description, answer))
    return kRefused;
  const std::size_t kept = std::min<std::size_t>(description.size(), text_size - 1);
  std::memcpy(text, description.data(), kept);
  text[kept] = '\0';
  const std::size_t atr_kept = std::min(answer.size(), kAtrRoom);
  if (atr_kept != 0) std::memcpy(atr, answer.data(), atr_kept);
  *atr_len = static_cast<uint8_t>(atr_kept);
  return kDone;
}

// Resolved by the library and never called.
TW_DRIVER_API int32_t ICC_message(void) { return 0; }
TW_DRIVER_API int32_t CHexToBin(void) { return 0; }
TW_DRIVER_API int32_t BinToCHex(void) { return 0; }
TW_DRIVER_API int32_t DESsubkey(void) { return 0; }
TW_DRIVER_API int32_t DESencrypt(void) { return 0; }
TW_DRIVER_API int32_t DESdecrypt(void) { return 0; }

}  // extern "C"
