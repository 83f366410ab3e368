// The reader's four ports, COM1 to COM4, each with its own lock, its open
// connection (backend and trace) and the handle that names it: the port
// number.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "backend.h"
#include "protocol/status_words.h"
#include "settings.h"
#include "trace.h"

namespace tarnwick::skorra {

// Not a card answer: the driver could not carry the command (closed or
// unknown handle, missing buffer).
constexpr int32_t kExchangeFailed = sw::kExchangeFailed;

class Port {
 public:
  // The handle of the newly opened port, or 0: the port is already open or
  // its backend cannot be opened. `preferred` is the driver variant's
  // backend, used unless SKORRA_BACKEND names another.
  uint32_t Open(int number, BackendKind preferred);
  // False when the port was not open.
  bool Close();
  // Cold reset of the card; false when the port is not open.
  bool PowerUp(const char* why);
  int32_t Transmit(uint8_t cmd_len, const uint8_t* cmd, uint8_t* rsp_len, uint8_t* rsp);
  void Announce(const std::string& event);
  // What stands behind the open port and the card's answer to reset; false
  // when the port is not open.
  bool Describe(std::string& description, std::vector<uint8_t>& atr);

 private:
  struct Connection {
    std::string name;
    std::unique_ptr<Backend> backend;
    std::unique_ptr<Trace> trace;
  };

  // A connection a forked child inherited is its parent's: the child lets it
  // go without a word to the card or its files, and the port is closed.
  void LetGoIfInherited();
  friend void ForgetPortsInChild();

  std::mutex mutex_;
  std::optional<Connection> connection_;
  bool inherited_ = false;
};

// For a child just forked: its ports' connections are its parent's.
void ForgetPortsInChild();

// Has a forked child let go of its parent's cards where processes fork
// (fork_posix.cpp; nothing in fork_windows.cpp); once is enough.
void WatchForks();

// 1 to 4 for "COM1" to "COM4", 0 for any other name (a null pointer too).
int PortNumber(const char* name);

// The port that a handle names, or nullptr. The table is fixed: ports are
// never created or destroyed, so finding one needs no lock.
Port* FindPort(uint32_t handle);

// Every port, for what concerns the whole reader.
Port* AllPorts(int& count);

}  // namespace tarnwick::skorra
