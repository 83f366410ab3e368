// tarnwick-vcard's T=0 card mode over a scripted inner card: what is held
// back behind 61xx, what is refused with 6Cxx, and what goes out at once.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "environment.h"
#include "t0_card.h"

namespace {

using skorratest::Bytes;
using skorratest::Hex;
using tarnwick::skorra::Reply;

// Answers every command with the next scripted reply.
class ScriptedCard final : public tarnwick::skorra::Backend {
 public:
  explicit ScriptedCard(std::deque<Reply> replies) : replies_(std::move(replies)) {}
  bool PowerUp() override { return true; }
  Reply Transmit(std::span<const uint8_t>) override {
    if (replies_.empty()) return {{}, 0x6F00};
    Reply r = replies_.front();
    replies_.pop_front();
    return r;
  }

 private:
  std::deque<Reply> replies_;
};

struct Exchange {
  std::string command;
  std::string answer;  // data then SW1 SW2, as on the wire
};

struct CardCase {
  const char* name;
  std::deque<Reply> inner;  // what the card itself answers, command by command
  std::vector<Exchange> exchanges;
};

void PrintTo(const CardCase& c, std::ostream* os) { *os << c.name; }

class T0CardMode : public ::testing::TestWithParam<CardCase> {};

TEST_P(T0CardMode, AnswersAsAT0Card) {
  const CardCase& c = GetParam();
  tarnwick::vcard_server::T0Card card(std::make_unique<ScriptedCard>(c.inner));
  for (const Exchange& e : c.exchanges) {
    Reply reply = card.Transmit(Bytes(e.command));
    reply.data.push_back(static_cast<uint8_t>(reply.sw >> 8));
    reply.data.push_back(static_cast<uint8_t>(reply.sw));
    EXPECT_EQ(Hex(reply.data), Hex(Bytes(e.answer))) << e.command;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, T0CardMode,
    ::testing::Values(
        CardCase{"right_le_goes_out", {{Bytes("01 02 03 04"), 0x9000}}, {{"00 84 00 00 04", "01 02 03 04 90 00"}}},
        // The resend collects the answer of the command already done: the
        // inner card is asked once.
        CardCase{"wrong_le_refused",
                 {{Bytes("01 02 03"), 0x9000}, {Bytes("04 05 06"), 0x9000}},
                 {{"00 B2 01 14 08", "6C 03"}, {"00 B2 01 14 03", "01 02 03 90 00"},
                  {"00 B2 01 14 03", "04 05 06 90 00"}}},
        CardCase{"another_command_after_6c_is_done_afresh",
                 {{Bytes("01 02 03"), 0x9000}, {Bytes("0A 0B"), 0x9000}},
                 {{"00 B2 01 14 08", "6C 03"}, {"00 B2 02 14 02", "0A 0B 90 00"}}},
        CardCase{"status_only_passes", {{{}, 0x6A82}}, {{"00 A4 00 00 02 00 99", "6A 82"}}},
        CardCase{"data_after_data_waits",
                 {{Bytes("0A 0B 0C"), 0x9000}},
                 {{"80 C2 00 01 02 11 22", "61 03"},
                  {"00 C0 00 00 02", "0A 0B 61 01"},
                  {"00 C0 00 00 01", "0C 90 00"},
                  {"00 C0 00 00 01", "69 85"}}},
        CardCase{"warning_comes_with_the_last_piece",
                 {{Bytes("0A 0B"), 0x6282}},
                 {{"80 C2 00 01 01 11", "61 02"}, {"00 C0 00 00 02", "0A 0B 62 82"}}},
        CardCase{"another_command_drops_what_waits",
                 {{Bytes("0A 0B"), 0x9000}, {{}, 0x9000}},
                 {{"80 C2 00 01 01 11", "61 02"}, {"00 A4 00 00 02 00 01", "90 00"}, {"00 C0 00 00 02", "69 85"}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
