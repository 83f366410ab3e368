// The end-to-end fixture through PC/SC: a fresh card served to vpcd for each
// test, the library bound to the USB driver (libusbskorra.so, PC/SC by
// default) with COM1 on vpcd's first slot; the card pulled out after.
// With TARNWICK_E2E_T0=1 the card answers as a T=0 card, and the driver's
// own GET RESPONSE and resend lines are left out of TraceLines(): the
// application's exchanges read the same either way.
#include <cstdlib>
#include <sstream>
#include <string_view>

#include "card_session.h"
#include "served_card.h"

namespace pcsctest {

ServedCard& SessionCard() {
  static ServedCard card;
  return card;
}

}  // namespace pcsctest

namespace e2e {
namespace {

bool T0Mode() {
  const char* t0 = std::getenv("TARNWICK_E2E_T0");
  return t0 != nullptr && std::string_view(t0) == "1";
}

}  // namespace

void CardSession::SetUp() {
  testos::SetVariable("SKORRA_BACKEND", std::nullopt);
  testos::SetVariable("SKORRA_PCSC_READER", pcsctest::kTestReader);
  ASSERT_TRUE(pcsctest::SessionCard().Insert(T0Mode() ? std::vector<std::string>{"--t0"} : std::vector<std::string>{}))
      << "no card in " << pcsctest::kTestReader << ": are pcscd and vpcd running?";
  ASSERT_EQ(InitialLib(2), 1) << "libusbskorra.so is not beside libtarnwick.so";
  ASSERT_EQ(OpenCom(1, &reader_), 0);
  ASSERT_EQ(ResetICC(static_cast<int32_t>(reader_), 0, 0), 0);
}

void CardSession::TearDown() {
  if (reader_ != 0) CloseCom(&reader_);
  FreeLib();
  EXPECT_TRUE(pcsctest::SessionCard().PullOut());
}

std::vector<std::string> CardSession::TraceLines() const {
  std::vector<std::string> lines;
  std::istringstream in(skorratest::ReadFile(folder_.path() / "trace.txt"));
  for (std::string line; std::getline(in, line);)
    if (!line.ends_with(" [driver]")) lines.push_back(line);
  return lines;
}

}  // namespace e2e
