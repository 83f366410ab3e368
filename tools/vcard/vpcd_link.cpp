// TCP to vpcd: connecting with retries and the length-prefixed messages.
#include "vpcd_link.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace tarnwick::vcard_server {
namespace {

constexpr std::chrono::milliseconds kRetryPause{100};

int TryConnect(const std::string& host, uint16_t port, std::string& problem) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (int rv = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found); rv != 0) {
    problem = host + ": " + ::gai_strerror(rv);
    return -1;
  }
  int fd = -1;
  for (addrinfo* at = found; at != nullptr && fd < 0; at = at->ai_next) {
    fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
    if (fd < 0) continue;
    if (::connect(fd, at->ai_addr, at->ai_addrlen) != 0) {
      problem = std::strerror(errno);
      ::close(fd);
      fd = -1;
    }
  }
  ::freeaddrinfo(found);
  return fd;
}

// vpcd writes the length and the APDU in two writes without TCP_NODELAY;
// unless this side acknowledges at once, every APDU waits for a delayed ACK
// (some 40 ms instead of a tenth of a millisecond). The kernel clears the
// option again on its own, so it is set after every receive.
void AcknowledgeAtOnce(int fd) {
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

}  // namespace

std::optional<VpcdLink> VpcdLink::Connect(const std::string& host, uint16_t port,
                                          std::chrono::milliseconds patience, std::string& problem) {
  const auto give_up = std::chrono::steady_clock::now() + patience;
  for (;;) {
    const int fd = TryConnect(host, port, problem);
    if (fd >= 0) {
      const int on = 1;
      ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return VpcdLink(fd);
    }
    if (std::chrono::steady_clock::now() >= give_up) return std::nullopt;
    std::this_thread::sleep_for(kRetryPause);
  }
}

VpcdLink::VpcdLink(VpcdLink&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }

VpcdLink::~VpcdLink() {
  if (fd_ >= 0) ::close(fd_);
}

bool VpcdLink::ReadExactly(uint8_t* into, std::size_t n) {
  while (n > 0) {
    const ssize_t got = ::recv(fd_, into, n, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    AcknowledgeAtOnce(fd_);
    into += got;
    n -= static_cast<std::size_t>(got);
  }
  return true;
}

std::optional<std::vector<uint8_t>> VpcdLink::Receive() {
  uint8_t length[2];
  if (!ReadExactly(length, sizeof length)) return std::nullopt;
  std::vector<uint8_t> message(static_cast<std::size_t>(length[0] << 8 | length[1]));
  if (!ReadExactly(message.data(), message.size())) return std::nullopt;
  return message;
}

bool VpcdLink::Send(std::span<const uint8_t> message) {
  if (message.size() > 0xFFFF) return false;
  std::vector<uint8_t> frame = {static_cast<uint8_t>(message.size() >> 8), static_cast<uint8_t>(message.size())};
  frame.insert(frame.end(), message.begin(), message.end());
  const uint8_t* next = frame.data();
  std::size_t left = frame.size();
  while (left > 0) {
    const ssize_t sent = ::send(fd_, next, left, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    next += sent;
    left -= static_cast<std::size_t>(sent);
  }
  return true;
}

}  // namespace tarnwick::vcard_server
