// Driving a virtual card with APDUs written as hex, and its answers shown
// the way a card trace shows them: "<data> | 9000", or "6A82" alone.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/recorder.h"
#include "vcard/card.h"

namespace vcardtest {

using tarnwick::vcard::Answer;
using tarnwick::vcard::Card;
using tarnwick::vcard::CardOptions;
using twtest::Bytes;
using twtest::Hex;

inline std::string Show(const Answer& a) {
  char sw[8];
  std::snprintf(sw, sizeof sw, "%04X", a.sw);
  return a.data.empty() ? std::string(sw) : Hex(a.data) + " | " + sw;
}

inline Answer Send(Card& card, const std::vector<uint8_t>& apdu) {
  return card.Process(apdu.data(), apdu.size());
}
inline Answer Send(Card& card, const std::string& hex) { return Send(card, Bytes(hex)); }

// Header, Lc and data, then Le when one is given.
inline std::vector<uint8_t> Apdu(uint8_t cla, uint8_t ins, uint8_t p1, uint8_t p2,
                                 const std::vector<uint8_t>& data, int le = -1) {
  std::vector<uint8_t> out = {cla, ins, p1, p2, static_cast<uint8_t>(data.size())};
  out.insert(out.end(), data.begin(), data.end());
  if (le >= 0) out.push_back(static_cast<uint8_t>(le));
  return out;
}

inline std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// One line of a scripted session: the command and the answer expected.
struct Step {
  std::string apdu;
  std::string answer;
};

struct Script {
  const char* name;
  std::vector<Step> steps;
};

inline void RunScript(Card& card, const std::vector<Step>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i)
    ASSERT_EQ(Show(Send(card, steps[i].apdu)), steps[i].answer) << "step " << i + 1 << ": " << steps[i].apdu;
}

// Failure messages name the script rather than dump its bytes.
inline void PrintTo(const Script& script, std::ostream* os) { *os << script.name; }

inline std::string ScriptName(const ::testing::TestParamInfo<Script>& info) { return info.param.name; }

// Frequently used commands of the default profile.
inline const char* const kVerifyPassphrase01 = "00 20 00 01 08 31 32 33 34 35 36 37 38";
inline const char* const kPoll = "00 00 00 00 00";

}  // namespace vcardtest
