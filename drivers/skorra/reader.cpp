// Opens, closes and resets ports and carries commands to their backends,
// one command at a time per port.
#include "reader.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>
#include <utility>
#include <string_view>

#include "backend_select.h"
#include "settings.h"
#include "vcard/crypto_library.h"

namespace tarnwick::skorra {
namespace {

constexpr int kPortCount = 4;
constexpr std::array<std::string_view, kPortCount> kPortNames = {"COM1", "COM2", "COM3", "COM4"};

// The most a one-byte response length can announce.
constexpr std::size_t kLongestAnswer = 255;
// An answer the driver cannot hand over whole is not handed over in part:
// "no precise diagnosis".
constexpr uint16_t kUndeliverable = sw::kNoDiagnosis;

// OpenSSL is set up before the ports exist, so that its clean-up at exit
// runs after the ports are gone: a card closing then still computes the
// checks of what it writes.
const bool g_crypto_ready = vcard::CryptoLibrary() != nullptr;
std::array<Port, kPortCount> g_ports;

}  // namespace

int PortNumber(const char* name) {
  if (name == nullptr) return 0;
  // Never read past a sixth byte: a longer name is no port's name anyway.
  const std::string_view given(name, ::strnlen(name, 6));
  const auto found = std::find(kPortNames.begin(), kPortNames.end(), given);
  return found == kPortNames.end() ? 0 : static_cast<int>(found - kPortNames.begin()) + 1;
}

Port* FindPort(uint32_t handle) {
  if (handle < 1 || handle > kPortCount) return nullptr;
  return &g_ports[handle - 1];
}

Port* AllPorts(int& count) {
  count = kPortCount;
  return g_ports.data();
}

// The child is one thread, and a thread of its parent may have been inside a
// port when it forked: each port's lock starts afresh, and what the parent
// held is left to it.
void ForgetPortsInChild() {
  for (Port& port : g_ports) {
    new (&port.mutex_) std::mutex;
    port.inherited_ = port.connection_.has_value();
  }
}

void Port::LetGoIfInherited() {
  if (!std::exchange(inherited_, false)) return;
  // Never destroyed: its lease's thread and its PC/SC context stayed in the
  // parent, and its files are the parent's to write.
  (void)connection_->backend.release();
  (void)connection_->trace.release();
  connection_.reset();
}

uint32_t Port::Open(int number, BackendKind preferred) {
  std::lock_guard lock(mutex_);
  LetGoIfInherited();
  WatchForks();
  if (connection_) return 0;  // a port serves one connection at a time
  const Settings settings = ReadSettings();
  const std::string name(kPortNames[static_cast<std::size_t>(number - 1)]);
  Connection connection{name, nullptr, Trace::Open(settings, name)};
  std::string problem;
  connection.backend = OpenBackend(number, preferred, settings, connection.trace.get(), problem);
  if (!connection.backend) {
    // The application only learns that the open failed; the reason must
    // reach a person, so it goes to the trace or else to standard error.
    if (connection.trace)
      connection.trace->Event("open refused: " + problem);
    else
      std::fprintf(stderr, "skorra: %s not opened: %s\n", connection.name.c_str(), problem.c_str());
    return 0;
  }
  if (connection.trace) connection.trace->Event("open");
  connection_ = std::move(connection);
  return static_cast<uint32_t>(number);
}

bool Port::Close() {
  std::lock_guard lock(mutex_);
  LetGoIfInherited();
  if (!connection_) return false;
  if (connection_->trace) connection_->trace->Event("close");
  connection_->backend->Close();
  connection_.reset();
  return true;
}

bool Port::PowerUp(const char* why) {
  std::lock_guard lock(mutex_);
  LetGoIfInherited();
  if (!connection_) return false;
  if (connection_->trace) connection_->trace->Event(why);
  return connection_->backend->PowerUp();
}

void Port::Announce(const std::string& event) {
  std::lock_guard lock(mutex_);
  LetGoIfInherited();
  if (connection_ && connection_->trace) connection_->trace->Event(event);
}

bool Port::Describe(std::string& description, std::vector<uint8_t>& atr) {
  std::lock_guard lock(mutex_);
  LetGoIfInherited();
  if (!connection_) return false;
  description = connection_->backend->Description();
  atr = connection_->backend->AnswerToReset();
  return true;
}

int32_t Port::Transmit(uint8_t cmd_len, const uint8_t* cmd, uint8_t* rsp_len, uint8_t* rsp) {
  std::lock_guard lock(mutex_);
  LetGoIfInherited();
  if (rsp_len != nullptr) *rsp_len = 0;
  if (!connection_) return kExchangeFailed;
  Connection& connection = *connection_;
  if ((cmd == nullptr && cmd_len != 0) || rsp_len == nullptr || rsp == nullptr) {
    if (connection.trace) connection.trace->Event("command refused: missing buffer");
    return kExchangeFailed;
  }
  const std::span<const uint8_t> command(cmd, cmd == nullptr ? 0 : cmd_len);
  if (connection.trace) connection.trace->Command(command);
  Reply reply = connection.backend->Transmit(command);
  if (reply.data.size() > kLongestAnswer) reply = {{}, kUndeliverable};
  if (connection.trace) connection.trace->Answer(command, reply);
  if (!reply.data.empty()) std::memcpy(rsp, reply.data.data(), reply.data.size());
  *rsp_len = static_cast<uint8_t>(reply.data.size());
  return reply.sw;
}

}  // namespace tarnwick::skorra
