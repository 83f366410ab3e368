// The PC/SC backend. Each open port owns its own context, so ports can be
// used from different threads. Only the PC/SC calls that the Windows smart
// card API shares are used.
#include "pcsc_backend.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "pcsc_api.h"
#include "t0_exchange.h"

namespace tarnwick::skorra {
namespace {

constexpr DWORD kProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
// A short answer: up to 256 data bytes and SW1 SW2.
constexpr std::size_t kLongestRawAnswer = 258;

std::string Failure(const char* what, LONG rv) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(rv));
  return std::string(what) + ": PC/SC error " + code;
}

// The readers PC/SC lists, in its order.
std::vector<std::string> ListReaders(const PcscApi& pcsc, SCARDCONTEXT context, std::string& problem) {
  DWORD size = 0;
  LONG rv = pcsc.list_readers(context, nullptr, nullptr, &size);
  std::vector<char> names(size);
  if (rv == SCARD_S_SUCCESS) rv = pcsc.list_readers(context, nullptr, names.data(), &size);
  if (rv != SCARD_S_SUCCESS) {
    problem = Failure("listing the readers", rv);
    return {};
  }
  std::vector<std::string> readers;
  for (std::size_t at = 0; at < names.size() && names[at] != '\0';) {
    readers.emplace_back(&names[at]);
    at += readers.back().size() + 1;
  }
  return readers;
}

std::optional<std::string> ChooseReader(const std::vector<std::string>& readers, int port_number,
                                        const Settings& settings) {
  if (port_number == 1 && settings.pcsc_reader) {
    for (const std::string& name : readers)
      if (name.find(*settings.pcsc_reader) != std::string::npos) return name;
    return std::nullopt;
  }
  const auto index = static_cast<std::size_t>(port_number - 1);
  if (index >= readers.size()) return std::nullopt;
  return readers[index];
}

class PcscBackend final : public Backend {
 public:
  PcscBackend(const PcscApi& pcsc, SCARDCONTEXT context, SCARDHANDLE card, DWORD protocol, Trace* trace)
      : pcsc_(pcsc), context_(context), card_(card), protocol_(protocol), trace_(trace) {}
  ~PcscBackend() override {
    pcsc_.disconnect(card_, SCARD_LEAVE_CARD);
    pcsc_.release_context(context_);
  }
  PcscBackend(const PcscBackend&) = delete;
  PcscBackend& operator=(const PcscBackend&) = delete;

  // A warm reset: the card keeps its power and restarts.
  bool PowerUp() override {
    return pcsc_.reconnect(card_, SCARD_SHARE_SHARED, kProtocols, SCARD_RESET_CARD, &protocol_) ==
           SCARD_S_SUCCESS;
  }

  Reply Transmit(std::span<const uint8_t> command) override {
    const AddedExchange added = [this, command](std::span<const uint8_t> extra, const Reply& reply) {
      if (trace_ != nullptr) trace_->Added(command, extra, reply);
    };
    return CompleteT0(command, [this](std::span<const uint8_t> apdu) { return Carry(apdu); }, added);
  }

 private:
  std::optional<std::vector<uint8_t>> Carry(std::span<const uint8_t> apdu) {
    const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? pcsc_.pci_t0 : pcsc_.pci_t1;
    std::vector<uint8_t> answer(kLongestRawAnswer);
    DWORD length = static_cast<DWORD>(answer.size());
    if (pcsc_.transmit(card_, pci, apdu.data(), static_cast<DWORD>(apdu.size()), nullptr, answer.data(),
                      &length) != SCARD_S_SUCCESS)
      return std::nullopt;
    answer.resize(length);
    return answer;
  }

  const PcscApi& pcsc_;
  SCARDCONTEXT context_;
  SCARDHANDLE card_;
  DWORD protocol_;  // the one the card and reader agreed on at the last connect or reset
  Trace* trace_;
};

}  // namespace

std::unique_ptr<Backend> OpenPcscCard(int port_number, const Settings& settings, Trace* trace,
                                      std::string& problem) {
  const PcscApi* pcsc = LoadPcsc(problem);
  if (pcsc == nullptr) return nullptr;
  SCARDCONTEXT context = 0;
  if (LONG rv = pcsc->establish_context(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context); rv != SCARD_S_SUCCESS) {
    problem = Failure("no PC/SC service", rv);
    return nullptr;
  }
  const std::vector<std::string> readers = ListReaders(*pcsc, context, problem);
  const std::optional<std::string> reader = ChooseReader(readers, port_number, settings);
  if (!reader) {
    if (problem.empty()) problem = "no PC/SC reader for this port";
    pcsc->release_context(context);
    return nullptr;
  }
  SCARDHANDLE card = 0;
  DWORD protocol = 0;
  if (LONG rv = pcsc->connect(context, reader->c_str(), SCARD_SHARE_SHARED, kProtocols, &card, &protocol);
      rv != SCARD_S_SUCCESS) {
    problem = Failure(reader->c_str(), rv);
    pcsc->release_context(context);
    return nullptr;
  }
  return std::make_unique<PcscBackend>(*pcsc, context, card, protocol, trace);
}

}  // namespace tarnwick::skorra
