// The driver's completion of T=0 answers over a scripted card: GET RESPONSE
// chains, one resend on 6Cxx, answers longer than one short APDU, and what
// counts as no answer at all.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "environment.h"
#include "t0_exchange.h"
#include "trace_format.h"

namespace {

using skorratest::Bytes;
using skorratest::Hex;
using tarnwick::skorra::CompleteT0;
using tarnwick::skorra::Reply;

// One scripted exchange: the command the driver must send and the raw
// answer (data SW1 SW2) the card gives; "-" for a failed transmission.
struct Step {
  std::string command;
  std::string answer;
};

struct T0Case {
  const char* name;
  std::string command;
  std::vector<Step> card;
  std::string data;  // the answer data handed to the library
  uint16_t sw;
  std::size_t added;  // exchanges the driver added (and traced)
};

void PrintTo(const T0Case& c, std::ostream* os) { *os << c.name; }

class T0Completion : public ::testing::TestWithParam<T0Case> {};

TEST_P(T0Completion, DeliversTheWholeAnswer) {
  const T0Case& c = GetParam();
  std::size_t next = 0;
  std::size_t added = 0;
  const Reply reply = CompleteT0(
      Bytes(c.command),
      [&](std::span<const uint8_t> apdu) -> std::optional<std::vector<uint8_t>> {
        EXPECT_LT(next, c.card.size()) << "an exchange more than the card expects: "
                                       << Hex({apdu.begin(), apdu.end()});
        if (next >= c.card.size()) return std::nullopt;
        const Step& step = c.card[next++];
        EXPECT_EQ(Hex({apdu.begin(), apdu.end()}), Hex(Bytes(step.command))) << "exchange " << next;
        if (step.answer == "-") return std::nullopt;
        return Bytes(step.answer);
      },
      [&](std::span<const uint8_t>, const Reply&) { ++added; });
  EXPECT_EQ(next, c.card.size()) << "exchanges the card expected and never got";
  EXPECT_EQ(Hex(reply.data), Hex(Bytes(c.data)));
  EXPECT_EQ(reply.sw, c.sw);
  EXPECT_EQ(added, c.added);
}

std::string Counting(std::size_t n, uint8_t first) {
  std::vector<uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return Hex(bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, T0Completion,
    ::testing::Values(
        T0Case{"plain_answer", "00 B0 00 00 02", {{"00 B0 00 00 02", "AA BB 90 00"}}, "AA BB", 0x9000, 0},
        T0Case{"status_only", "00 A4 00 00 02 00 99", {{"00 A4 00 00 02 00 99", "6A 82"}}, "", 0x6A82, 0},
        T0Case{"one_get_response",
               "80 C2 00 01 02 11 22",
               {{"80 C2 00 01 02 11 22", "61 03"}, {"00 C0 00 00 03", "01 02 03 90 00"}},
               "01 02 03", 0x9000, 1},
        T0Case{"chain_of_three",
               "80 C2 00 01 02 11 22",
               {{"80 C2 00 01 02 11 22", "61 02"},
                {"00 C0 00 00 02", "01 02 61 01"},
                {"00 C0 00 00 01", "03 61 02"},
                {"00 C0 00 00 02", "04 05 62 82"}},
               "01 02 03 04 05", 0x6282, 3},
        // 61 00 announces 256 bytes; the pieces add up past one short APDU.
        T0Case{"past_256_bytes",
               "80 C8 00 01 01 00",
               {{"80 C8 00 01 01 00", "61 00"},
                {"00 C0 00 00 00", Counting(256, 0x00) + " 61 2C"},
                {"00 C0 00 00 2C", Counting(44, 0x40) + " 90 00"}},
               Counting(256, 0x00) + " " + Counting(44, 0x40), 0x9000, 2},
        T0Case{"wrong_le_resent_once",
               "00 B2 01 14 08",
               {{"00 B2 01 14 08", "6C 03"}, {"00 B2 01 14 03", "01 02 03 90 00"}},
               "01 02 03", 0x9000, 1},
        T0Case{"wrong_le_twice_is_passed_on",
               "00 B2 01 14 08",
               {{"00 B2 01 14 08", "6C 03"}, {"00 B2 01 14 03", "6C 02"}},
               "", 0x6C02, 1},
        // The Le byte after the data is the one corrected.
        T0Case{"wrong_le_after_data",
               "80 CA 00 00 01 7F 10",
               {{"80 CA 00 00 01 7F 10", "6C 02"}, {"80 CA 00 00 01 7F 02", "AB CD 90 00"}},
               "AB CD", 0x9000, 1},
        // Data and no Le: there is no length to correct.
        T0Case{"wrong_le_without_le", "00 D6 00 00 01 55", {{"00 D6 00 00 01 55", "6C 01"}}, "", 0x6C01, 0},
        T0Case{"resend_then_chain",
               "00 B0 00 00 10",
               {{"00 B0 00 00 10", "6C 04"}, {"00 B0 00 00 04", "61 04"}, {"00 C0 00 00 04", "0A 0B 0C 0D 90 00"}},
               "0A 0B 0C 0D", 0x9000, 2},
        T0Case{"transmission_fails", "00 84 00 00 08", {{"00 84 00 00 08", "-"}}, "", 0xFFFF, 0},
        T0Case{"one_byte_answer", "00 84 00 00 08", {{"00 84 00 00 08", "90"}}, "", 0xFFFF, 0},
        T0Case{"empty_answer", "00 84 00 00 08", {{"00 84 00 00 08", ""}}, "", 0xFFFF, 0},
        // A card pulled out during the chain: the data so far is not handed
        // over as if it were the answer.
        T0Case{"card_gone_mid_chain",
               "80 C2 00 01 02 11 22",
               {{"80 C2 00 01 02 11 22", "61 02"}, {"00 C0 00 00 02", "01 61 02"}, {"00 C0 00 00 02", "-"}},
               "", 0xFFFF, 2},
        T0Case{"card_gone_on_resend",
               "00 B0 00 00 10",
               {{"00 B0 00 00 10", "6C 04"}, {"00 B0 00 00 04", "90"}},
               "", 0xFFFF, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// A card that never stops announcing more data is cut off after the most
// the driver gathers, instead of holding the reader forever.
TEST(T0CompletionLimit, EndlessChainStops) {
  std::size_t exchanges = 0;
  const Reply reply = CompleteT0(
      Bytes("80 C2 00 01 00"),
      [&](std::span<const uint8_t>) -> std::optional<std::vector<uint8_t>> {
        ++exchanges;
        return Bytes(Counting(255, 0) + " 61 FF");
      },
      {});
  EXPECT_EQ(reply.data.size(), tarnwick::skorra::kLongestGatheredAnswer);
  EXPECT_EQ(reply.sw, 0x61FF);
  EXPECT_LT(exchanges, 20u);
}

// The trace's redaction, decided from the command: an answer to key-pair
// generation with P2 00 shows only when it is exactly the public-key record.
struct RedactionCase {
  const char* name;
  std::string command;
  std::string data;
  bool shown;
};

class AnswerRedaction : public ::testing::TestWithParam<RedactionCase> {};

TEST_P(AnswerRedaction, DecidesFromTheCommand) {
  const RedactionCase& c = GetParam();
  const std::string line = tarnwick::skorra::AnswerLine("COM1", Bytes(c.command), Reply{Bytes(c.data), 0x9000}, false);
  EXPECT_EQ(line.find(Hex(Bytes(c.data))) != std::string::npos, c.shown) << line;
  EXPECT_NE(tarnwick::skorra::AnswerLine("COM1", Bytes(c.command), Reply{Bytes(c.data), 0x9000}, true)
                .find(Hex(Bytes(c.data))),
            std::string::npos);
}

const std::string kModulus = Counting(128, 0x10);
const std::string kRecord = "6E 80 " + kModulus + " 65 03 01 00 01";

INSTANTIATE_TEST_SUITE_P(
    KeyGeneration, AnswerRedaction,
    ::testing::Values(RedactionCase{"public_key_record", "80 CE 00 00 00", kRecord, true},
                      // A private value that begins like the record (about one in forty keys).
                      RedactionCase{"private_value_starting_6e", "80 CE 00 00 00", "6E 80 " + Counting(126, 1), false},
                      RedactionCase{"half_value_starting_6e", "80 CE 00 00 00", "6E " + Counting(63, 1), false},
                      RedactionCase{"record_one_byte_short", "80 CE 00 00 00", "6E 80 " + kModulus + " 65 03 01 00",
                                    false},
                      RedactionCase{"record_with_other_exponent", "80 CE 00 00 00",
                                    "6E 80 " + kModulus + " 65 03 01 00 03", false},
                      RedactionCase{"any_class", "00 CE 00 00 00", Counting(64, 0x6E), false},
                      RedactionCase{"key_in_a_slot", "80 CE 00 01 00", Counting(64, 0x6E), true},
                      RedactionCase{"cipher_key_command", "80 CE 20 00 10", "AA BB CC", true},
                      RedactionCase{"read_binary", "00 B0 00 00 04", "6E 80 01 02", true}),
    [](const auto& info) { return std::string(info.param.name); });

// A T=0 card hands the private values out over GET RESPONSE: those lines,
// judged by the command they complete, hide the same bytes.
TEST(AnswerRedaction, GetResponseLinesOfAT0CardHideThePrivateValues) {
  const std::string d = Counting(128, 0x6E);
  std::vector<std::string> lines;
  const std::vector<uint8_t> command = Bytes("80 CE 00 00 00");
  const Reply whole = CompleteT0(
      command,
      [&](std::span<const uint8_t> apdu) -> std::optional<std::vector<uint8_t>> {
        if (apdu[1] == 0xCE) return Bytes("61 80");
        return Bytes(d + " 90 00");
      },
      [&](std::span<const uint8_t> added, const Reply& reply) {
        lines.push_back(tarnwick::skorra::CommandLine("COM1", added, false));
        lines.push_back(tarnwick::skorra::AnswerLine("COM1", command, reply, false));
      });
  lines.push_back(tarnwick::skorra::AnswerLine("COM1", command, whole, false));
  ASSERT_EQ(lines.size(), 3u);
  for (const std::string& line : lines) EXPECT_EQ(line.find("6E 6F 70"), std::string::npos) << line;
}

}  // namespace
