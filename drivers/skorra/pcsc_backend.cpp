// The PC/SC backend. Each open port owns its own context, so ports can be
// used from different threads. Only the PC/SC calls that the Windows smart
// card API shares are used. Each burst of commands runs inside a PC/SC
// transaction, so that another program's commands never come between a
// SELECT and the READ or UPDATE after it.
#include "pcsc_backend.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "lease.h"
#include "pcsc_api.h"
#include "t0_exchange.h"

namespace tarnwick::skorra {
namespace {

constexpr DWORD kProtocols = SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1;
// A short answer: up to 256 data bytes and SW1 SW2.
constexpr std::size_t kLongestRawAnswer = 258;
// ISO/IEC 7816-3 caps an answer to reset at 33 bytes.
constexpr std::size_t kLongestAtr = 33;

// The PC/SC answers a person meets when a reader cannot be used.
const char* Meaning(LONG rv) {
  switch (rv) {
    case SCARD_E_NO_SMARTCARD: return "no card in the reader";
    case SCARD_W_REMOVED_CARD: return "the card was removed";
    case SCARD_W_UNRESPONSIVE_CARD: return "the card does not answer";
    case SCARD_W_UNPOWERED_CARD: return "the card is not powered";
    case SCARD_E_SHARING_VIOLATION: return "the card is in use by another application";
    case SCARD_E_UNKNOWN_READER: return "unknown reader";
    case SCARD_E_READER_UNAVAILABLE: return "the reader is unavailable";
    case SCARD_E_NO_READERS_AVAILABLE: return "no reader is connected";
    case SCARD_E_NO_SERVICE: return "the PC/SC service is not running";
    case SCARD_E_SERVICE_STOPPED: return "the PC/SC service stopped";
    case SCARD_E_PROTO_MISMATCH: return "the card and reader share no protocol";
    default: return nullptr;
  }
}

std::string Failure(const char* what, LONG rv) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(rv));
  std::string text = std::string(what) + ": PC/SC error " + code;
  if (const char* meaning = Meaning(rv)) text += std::string(" (") + meaning + ")";
  return text;
}

// "'A', 'B'" for a person choosing a reader by name.
std::string Listed(const std::vector<std::string>& readers) {
  if (readers.empty()) return "none";
  std::string text;
  for (const std::string& name : readers) text += (text.empty() ? "'" : ", '") + name + "'";
  return text;
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
  PcscBackend(const PcscApi& pcsc, SCARDCONTEXT context, SCARDHANDLE card, DWORD protocol, std::string reader,
              Trace* trace)
      : pcsc_(pcsc), context_(context), card_(card), protocol_(protocol), reader_(std::move(reader)), trace_(trace) {
    lease_.emplace(Lease::Hooks{[this](std::string& problem) { return Begin(problem); },
                                [this] { pcsc_.end_transaction(card_, SCARD_LEAVE_CARD); }});
  }
  ~PcscBackend() override {
    lease_.reset();
    pcsc_.disconnect(card_, SCARD_LEAVE_CARD);
    pcsc_.release_context(context_);
  }
  PcscBackend(const PcscBackend&) = delete;
  PcscBackend& operator=(const PcscBackend&) = delete;

  // A cold reset, as every backend gives: the card loses its power and is
  // powered again, so nothing a warm reset might spare survives. The
  // transaction ends with it.
  bool PowerUp() override {
    lease_->GiveBack();
    reset_elsewhere_ = false;
    return pcsc_.reconnect(card_, SCARD_SHARE_SHARED, kProtocols, SCARD_UNPOWER_CARD, &protocol_) ==
           SCARD_S_SUCCESS;
  }

  // A reset by another program since the last command is reported instead
  // of sending the command: the card's security state and current file are
  // gone, and the command may depend on them.
  Reply Transmit(std::span<const uint8_t> command) override {
    const AddedExchange added = [this, command](std::span<const uint8_t> extra, const Reply& reply) {
      if (trace_ != nullptr) trace_->Added(command, extra, reply);
    };
    Reply reply{{}, sw::kExchangeFailed};
    std::string problem;
    lease_->Run(
        [&] {
          if (!reset_elsewhere_)
            reply = CompleteT0(command, [this](std::span<const uint8_t> apdu) { return Carry(apdu); }, added);
          if (std::exchange(reset_elsewhere_, false)) reply = {{}, sw::kCardReset};
        },
        problem);
    return reply;
  }

  std::string Description() const override { return "PC/SC reader '" + reader_ + "'"; }

  std::vector<uint8_t> AnswerToReset() const override {
    std::vector<uint8_t> atr(kLongestAtr);
    DWORD atr_length = static_cast<DWORD>(atr.size());
    DWORD state = 0;
    DWORD protocol = 0;
    DWORD name_length = 0;
    if (pcsc_.status(card_, nullptr, &name_length, &state, &protocol, atr.data(), &atr_length) != SCARD_S_SUCCESS)
      return {};
    atr.resize(atr_length);
    return atr;
  }

 private:
  // Waits while another program's transaction runs. A card reset meanwhile
  // is taken up again and noted.
  bool Begin(std::string& problem) {
    LONG rv = pcsc_.begin_transaction(card_);
    if (rv == SCARD_W_RESET_CARD && Reconnect()) rv = pcsc_.begin_transaction(card_);
    if (rv != SCARD_S_SUCCESS) problem = Failure(reader_.c_str(), rv);
    return rv == SCARD_S_SUCCESS;
  }

  bool Reconnect() {
    reset_elsewhere_ = true;
    return pcsc_.reconnect(card_, SCARD_SHARE_SHARED, kProtocols, SCARD_LEAVE_CARD, &protocol_) ==
           SCARD_S_SUCCESS;
  }

  std::optional<std::vector<uint8_t>> Carry(std::span<const uint8_t> apdu) {
    const SCARD_IO_REQUEST* pci = protocol_ == SCARD_PROTOCOL_T0 ? pcsc_.pci_t0 : pcsc_.pci_t1;
    std::vector<uint8_t> answer(kLongestRawAnswer);
    DWORD length = static_cast<DWORD>(answer.size());
    const LONG rv = pcsc_.transmit(card_, pci, apdu.data(), static_cast<DWORD>(apdu.size()), nullptr,
                                   answer.data(), &length);
    if (rv == SCARD_W_RESET_CARD) Reconnect();
    if (rv != SCARD_S_SUCCESS) return std::nullopt;
    answer.resize(length);
    return answer;
  }

  const PcscApi& pcsc_;
  SCARDCONTEXT context_;
  SCARDHANDLE card_;
  DWORD protocol_;  // the one the card and reader agreed on at the last connect or reset
  std::string reader_;
  Trace* trace_;
  bool reset_elsewhere_ = false;  // another program reset the card since the last command
  std::optional<Lease> lease_;
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
    if (problem.empty() && port_number == 1 && settings.pcsc_reader)
      problem = "no PC/SC reader's name holds '" + *settings.pcsc_reader + "' (SKORRA_PCSC_READER); readers: " +
                Listed(readers);
    if (problem.empty()) problem = "no PC/SC reader for this port; readers: " + Listed(readers);
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
  return std::make_unique<PcscBackend>(*pcsc, context, card, protocol, *reader, trace);
}

}  // namespace tarnwick::skorra
