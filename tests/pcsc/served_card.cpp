// Starting and stopping tarnwick-vcard, and watching the reader through
// PC/SC for the card to come and go.
#include "served_card.h"

#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>

#include <vector>

namespace pcsctest {
namespace {

constexpr std::chrono::seconds kPatience{10};

std::string FindReader(SCARDCONTEXT context, const std::string& part) {
  DWORD size = 0;
  if (SCardListReaders(context, nullptr, nullptr, &size) != SCARD_S_SUCCESS) return {};
  std::vector<char> names(size);
  if (SCardListReaders(context, nullptr, names.data(), &size) != SCARD_S_SUCCESS) return {};
  for (std::size_t at = 0; at < names.size() && names[at] != '\0';) {
    const std::string name(&names[at]);
    if (name.find(part) != std::string::npos) return name;
    at += name.size() + 1;
  }
  return {};
}

}  // namespace

bool WaitForCard(const std::string& reader, bool present, std::chrono::milliseconds patience) {
  SCARDCONTEXT context = 0;
  if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &context) != SCARD_S_SUCCESS) return false;
  const std::string name = FindReader(context, reader);
  bool reached = false;
  if (!name.empty()) {
    SCARD_READERSTATE state{};
    state.szReader = name.c_str();
    state.dwCurrentState = SCARD_STATE_UNAWARE;
    const auto give_up = std::chrono::steady_clock::now() + patience;
    while (!reached) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(give_up - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      if (SCardGetStatusChange(context, static_cast<DWORD>(left.count()), &state, 1) != SCARD_S_SUCCESS) break;
      reached = ((state.dwEventState & SCARD_STATE_PRESENT) != 0) == present;
      state.dwCurrentState = state.dwEventState & ~SCARD_STATE_CHANGED;
    }
  }
  SCardReleaseContext(context);
  return reached;
}

bool ServedCard::Insert(const std::vector<std::string>& options) {
  std::vector<std::string> args = {"--port", kTestReaderPort, "--wait", "10"};
  args.insert(args.end(), options.begin(), options.end());
  child_ = testos::Start(TARNWICK_VCARD, args);
  return child_ != -1 && WaitForCard(kTestReader, true, kPatience);
}

bool ServedCard::PullOut() {
  if (child_ == -1) return true;
  testos::Kill(child_);
  child_ = -1;
  return WaitForCard(kTestReader, false, kPatience);
}

}  // namespace pcsctest
