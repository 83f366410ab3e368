// Binding the driver's functions by name and carrying raw commands to them.
#include "driver_link.h"

#include "platform.h"

namespace tarnwick::cli {
namespace {

constexpr int kAttempts = 4;
constexpr int32_t kExchangeFailed = TW_SW_EXCHANGE_FAILED;
constexpr std::size_t kAnswerRoom = 256;  // the most a one-byte length announces
constexpr std::size_t kAtrRoom = 33;
constexpr std::size_t kDescriptionRoom = 512;

}  // namespace

std::unique_ptr<DriverLink> DriverLink::Bind(uint8_t selector, std::string* why) {
  const char* name = platform::DriverFileName(selector);
  platform::Module module = platform::LoadDriver(name);
  if (module == nullptr) {
    *why = std::string(name) + " could not be loaded";
    return nullptr;
  }
  auto transmit = reinterpret_cast<TransmitFn>(platform::FindFunction(module, "ICC_tsi_api"));
  if (transmit == nullptr) {
    platform::UnloadDriver(module);
    *why = std::string(name) + " has no ICC_tsi_api";
    return nullptr;
  }
  auto describe = reinterpret_cast<DescribeFn>(platform::FindFunction(module, "CT_describe"));
  return std::unique_ptr<DriverLink>(new DriverLink(module, transmit, describe));
}

DriverLink::~DriverLink() { platform::UnloadDriver(module_); }

CardAnswer DriverLink::Exchange(tw_handle_t reader, std::span<const uint8_t> command) const {
  if (command.size() > kLongestCommand) return {{}, TW_SW_WRONG_LENGTH};
  uint8_t answer[kAnswerRoom] = {};
  uint8_t length = 0;
  int32_t sw = kExchangeFailed;
  for (int attempt = 0; attempt < kAttempts && sw == kExchangeFailed; ++attempt)
    sw = transmit_(reader, static_cast<uint8_t>(command.size()), command.data(), &length, answer);
  return {Bytes(answer, answer + length), sw};
}

std::optional<PortDescription> DriverLink::Describe(tw_handle_t reader) const {
  if (describe_ == nullptr) return std::nullopt;
  char text[kDescriptionRoom] = {};
  uint8_t atr[kAtrRoom] = {};
  uint8_t atr_length = 0;
  if (describe_(reader, text, sizeof text, atr, &atr_length) != 0) return std::nullopt;
  return PortDescription{text, Bytes(atr, atr + std::min<std::size_t>(atr_length, kAtrRoom))};
}

}  // namespace tarnwick::cli
