// The link to vpcd, pcscd's virtual reader: a TCP connection on which each
// message is a 2-byte big-endian length and that many bytes. A 1-byte
// message from vpcd is a control byte; a longer one is a command APDU.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tarnwick::vcard_server {

class VpcdLink {
 public:
  // Connects to host:port, retrying until `patience` has passed (vpcd may
  // not be up yet). nullopt and a problem text when it never answered.
  static std::optional<VpcdLink> Connect(const std::string& host, uint16_t port,
                                         std::chrono::milliseconds patience, std::string& problem);
  ~VpcdLink();
  VpcdLink(VpcdLink&& other) noexcept;
  VpcdLink& operator=(VpcdLink&&) = delete;
  VpcdLink(const VpcdLink&) = delete;
  VpcdLink& operator=(const VpcdLink&) = delete;

  // The next message; nullopt when vpcd closed the connection or it broke.
  std::optional<std::vector<uint8_t>> Receive();
  bool Send(std::span<const uint8_t> message);

 private:
  explicit VpcdLink(int fd) : fd_(fd) {}
  bool ReadExactly(uint8_t* into, std::size_t n);
  int fd_;
};

}  // namespace tarnwick::vcard_server
