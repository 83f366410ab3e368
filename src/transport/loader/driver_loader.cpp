// The platform-neutral part of the driver loader: the text of a failed load
// and the retry rule of the exchange.
#include "driver_loader.h"

#include "protocol/status_words.h"

namespace tarnwick::loader {
namespace {

// The driver may fail an exchange (0xFFFF); the same call is repeated as it
// stands, with no pause, up to this many calls in all.
constexpr int kAttempts = 4;

}  // namespace

std::string DriverLoadFailure(uint8_t selector, const void* anchor) {
  const char* name = DriverFileName(selector);
  const std::string driver =
      std::string(selector == 1 ? "the serial reader driver (" : "the USB reader driver (") + name + ")";
  if (std::optional<std::string> why = LoaderRefusal(name, anchor)) return driver + " could not be loaded: " + *why;
  return driver + " was not found; it belongs " + WhereDriversBelong();
}

int32_t Transmit(TransmitFn transmit, uint32_t handle, std::span<const uint8_t> command, uint8_t* rsp_len,
                 uint8_t* rsp) {
  if (command.size() > kLongestCommand) return sw::kWrongLength;
  if (transmit == nullptr) return sw::kExchangeFailed;
  int32_t status = sw::kExchangeFailed;
  for (int attempt = 0; attempt < kAttempts && status == sw::kExchangeFailed; ++attempt)
    status = transmit(handle, static_cast<uint8_t>(command.size()), command.data(), rsp_len, rsp);
  return status;
}

}  // namespace tarnwick::loader
