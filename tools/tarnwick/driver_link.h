// The reader driver bound by the tool itself through the names of
// tarnwick_driver.h, for what the library's exports do not carry: raw
// command APDUs with their whole answers, and what stands behind a port.
// The driver is loaded by the library's own loader, so both reach the one
// loaded driver and share its open ports and handles.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "hex.h"
#include "tarnwick.h"
#include "tarnwick_driver.h"

namespace tarnwick::cli {

struct CardAnswer {
  Bytes data;
  int32_t sw;
};

struct PortDescription {
  std::string text;  // "PC/SC reader '...'", "virtual card in memory"
  Bytes atr;         // empty when the driver has none
};

class DriverLink {
 public:
  // The driver for InitialLib's selector; nullptr with the reason when it
  // cannot be loaded or lacks ICC_tsi_api.
  static std::unique_ptr<DriverLink> Bind(uint8_t selector, std::string* why);

  // Why InitialLib(selector) could not load the driver, for a person.
  static std::string LoadFailure(uint8_t selector);
  ~DriverLink();
  DriverLink(const DriverLink&) = delete;
  DriverLink& operator=(const DriverLink&) = delete;

  // The one exchange of the tool's raw commands: the command as given, the
  // answer's data and status word, through the library's loader and its
  // retry rule.
  CardAnswer Exchange(tw_handle_t reader, std::span<const uint8_t> command) const;

  // nullopt when the driver cannot describe its ports or this one is not open.
  std::optional<PortDescription> Describe(tw_handle_t reader) const;

 private:
  using TransmitFn = decltype(&ICC_tsi_api);
  using DescribeFn = decltype(&CT_describe);

  DriverLink(void* module, TransmitFn transmit, DescribeFn describe)
      : module_(module), transmit_(transmit), describe_(describe) {}

  void* module_;
  TransmitFn transmit_;
  DescribeFn describe_;  // optional in a driver
};

}  // namespace tarnwick::cli
