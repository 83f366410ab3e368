// Key-pair generation: waiting for the card with the poll frame, the checked
// modulus answer, the five collected answers, and the answer stored in a file.
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "rsa/helpers.h"
#include "support/fixtures.h"

namespace twtest {
namespace {

const std::string kPoll = "00 00 00 00 00";

struct Generator {
  const char* name;
  std::string generation;  // the generation frame with this export's P2
  std::function<int32_t()> run;
};

const Generator kGenerators[] = {
    {"RsaGenerateKeyPair", "80 CE 00 05 00",
     [] {
       uint8_t mod[128];
       uint32_t len = 0;
       return RsaGenerateKeyPair(0, 0x05, mod, &len, kReader);
     }},
    {"OfflineRsaGenerateKeyPair", "80 CE 00 00 00",
     [] {
       std::vector<uint8_t> out(1000);
       uint32_t len = 0;
       return OfflineRsaGenerateKeyPair(0, out.data(), &len, kReader);
     }},
    {"MyRsaGeneratekey", "80 CE 00 07 00", [] { return MyRsaGeneratekey(0, 0x10, 0x07, kReader); }},
};

struct Wait {
  const char* name;
  int32_t first;                    // answer to the first generation frame
  std::vector<int32_t> poll_answers;
  bool fetches;                     // whether the generation frame is sent again
  int32_t result;
};

std::vector<int32_t> NeverReady() {
  std::vector<int32_t> answers(9999, 0x6FF0);
  answers.push_back(0x6F00);
  return answers;
}

const Wait kWaits[] = {
    {"ready_at_once", 0x6D00, {}, true, 0x6A82},
    {"ready_on_third_poll", 0x9000, {0x6FF0, 0x6FF0, 0x6D00}, true, 0x6A82},
    {"never_ready", 0x9000, NeverReady(), false, 0x6F00},
};

class Polling : public BoundDriver,
                public ::testing::WithParamInterface<std::tuple<Generator, Wait>> {};

// The fetch is refused (0x6A82) so that only the wait differs between exports.
TEST_P(Polling, UntilTheCardIsReady) {
  const auto& [gen, wait] = GetParam();
  QueueSw(wait.first);
  for (int32_t sw : wait.poll_answers) QueueSw(sw);
  SetDefault({0x6A82, {}, {}});
  EXPECT_EQ(gen.run(), wait.result);
  std::size_t polls = 0;
  for (const Apdu& a : Apdus()) polls += Hex(a.frame) == kPoll && a.cmd_len == 5;
  EXPECT_EQ(polls, wait.poll_answers.size());
  ASSERT_EQ(Apdus().size(), 1 + wait.poll_answers.size() + wait.fetches);
  EXPECT_EQ(Hex(Apdus().front().frame), gen.generation);
  if (wait.fetches) {
    EXPECT_EQ(Hex(Apdus().back().frame), gen.generation);
  }
}

INSTANTIATE_TEST_SUITE_P(Rsa, Polling,
                         ::testing::Combine(::testing::ValuesIn(kGenerators), ::testing::ValuesIn(kWaits)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + "_" + std::get<1>(info.param).name;
                         });

// The answer to the second generation frame, the card being ready at once.
struct ModulusAnswer {
  const char* name;
  Answer answer;
  int32_t result;
};

const std::vector<uint8_t> kRecord = Join(Join(Bytes("6E 80"), Sequence(128, 0x01)), Bytes("65 03 01 00 01"));

const ModulusAnswer kModulusAnswers[] = {
    {"public_key_record", {0x9000, kRecord, {}}, 0x9000},
    {"modulus_only", {0x9000, std::vector<uint8_t>(kRecord.begin(), kRecord.begin() + 130), {}}, 0x9000},
    {"length_byte_0x40", {0x9000, Join(Bytes("6E 40"), Sequence(128, 0x01)), {}}, 0x6000},
    {"cut_short", {0x9000, std::vector<uint8_t>(kRecord.begin(), kRecord.begin() + 129), {}}, 0x6000},
    {"refused", {0x6A82, kRecord, {}}, 0x6A82},
};

class Modulus : public BoundDriver, public ::testing::WithParamInterface<ModulusAnswer> {};

TEST_P(Modulus, CopiedOnlyFromAWellFormedAnswer) {
  QueueSw(0x6D00);
  Queue(GetParam().answer);
  std::vector<uint8_t> mod(128, 0xEE);
  uint32_t len = 0xDEAD;
  EXPECT_EQ(RsaGenerateKeyPair(0, 0x05, mod.data(), &len, kReader), GetParam().result);
  const bool ok = GetParam().result == 0x9000;
  EXPECT_EQ(Hex(mod), Hex(ok ? Sequence(128, 0x01) : std::vector<uint8_t>(128, 0xEE)));
  EXPECT_EQ(len, ok ? 128u : 0xDEADu);
}

INSTANTIATE_TEST_SUITE_P(Rsa, Modulus, ::testing::ValuesIn(kModulusAnswers),
                         [](const auto& info) { return std::string(info.param.name); });

// The five answers after the card is ready and the first read-out: each is
// (status, length, fill byte).
struct Collection {
  const char* name;
  std::vector<std::tuple<int32_t, uint8_t, uint8_t>> answers;
  std::vector<int> collected;  // which of the five end up in the buffer
  int32_t result;
};

const Collection kCollections[] = {
    {"five_of_64", {{0x9000, 64, 0x11}, {0x9000, 64, 0x22}, {0x9000, 64, 0x33}, {0x9000, 64, 0x44}, {0x9000, 64, 0x55}},
     {0, 1, 2, 3, 4}, 0x9000},
    {"third_fails", {{0x9000, 64, 0x11}, {0x9000, 64, 0x22}, {0x6A80, 64, 0x33}, {0x9000, 64, 0x44}, {0x9000, 64, 0x55}},
     {0, 1, 3, 4}, 0x9000},
    {"fifth_fails", {{0x9000, 64, 0x11}, {0x9000, 64, 0x22}, {0x9000, 64, 0x33}, {0x9000, 64, 0x44}, {0x6A80, 64, 0x55}},
     {0, 1, 2, 3}, 0x6A80},
    {"exactly_full", {{0x9000, 200, 0x11}, {0x9000, 200, 0x22}, {0x9000, 200, 0x33}, {0x9000, 200, 0x44}, {0x9000, 200, 0x55}},
     {0, 1, 2, 3, 4}, 0x9000},
    {"fourth_overflows", {{0x9000, 255, 0x11}, {0x9000, 255, 0x22}, {0x9000, 255, 0x33}, {0x9000, 255, 0x44}, {0x9000, 200, 0x55}},
     {0, 1, 2, 4}, 0x9000},
};

class Offline : public BoundDriver, public ::testing::WithParamInterface<Collection> {};

TEST_P(Offline, CollectsTheAnswersInOrder) {
  QueueSw(0x6D00);
  QueueSw(0x9000, Sequence(135, 0));
  QueueSw(0x9000, Sequence(100, 0));
  for (const auto& [sw, n, fill] : GetParam().answers) QueueSw(sw, std::vector<uint8_t>(n, fill));
  std::vector<uint8_t> out(1000, 0xEE);
  uint32_t len = 0xDEAD;
  EXPECT_EQ(OfflineRsaGenerateKeyPair(0, out.data(), &len, kReader), GetParam().result);
  std::vector<uint8_t> expected;
  for (int i : GetParam().collected) {
    const auto& [sw, n, fill] = GetParam().answers[i];
    expected.insert(expected.end(), n, fill);
  }
  ASSERT_EQ(len, expected.size());
  expected.resize(1000, 0xEE);
  EXPECT_EQ(Hex(out), Hex(expected));
  ASSERT_EQ(Apdus().size(), 8u);
  for (const Apdu& a : Apdus()) EXPECT_EQ(Hex(a.frame), "80 CE 00 00 00");
}

INSTANTIATE_TEST_SUITE_P(Rsa, Offline, ::testing::ValuesIn(kCollections),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoundDriver, OfflineStopsWhenTheReadOutStartFails) {
  for (std::size_t failing : {1, 2}) {
    Reset();
    QueueSw(0x6D00);
    if (failing == 2) QueueSw(0x9000, Sequence(135, 0));
    QueueSw(0x6A80, Sequence(64, 0));
    std::vector<uint8_t> out(1000, 0xEE);
    uint32_t len = 0xDEAD;
    EXPECT_EQ(OfflineRsaGenerateKeyPair(0, out.data(), &len, kReader), 0x6A80);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(Apdus().size(), failing + 1);
  }
}

// The card's answer is stored whole in the file named by the caller.
struct Store {
  const char* name;
  std::vector<int32_t> answers;  // after the answer itself: select, pieces
  int32_t result;
  std::vector<std::string> after_generation;
};

const std::vector<uint8_t> kAnswer135 = Sequence(135, 0x01);

const Store kStores[] = {
    {"two_pieces", {0x9000, 0x9000, 0x6581}, 0x6581,
     {"00 A4 00 00 02 00 10 00", "00 D6 00 00 80 " + Hex(kAnswer135.data(), 128),
      "00 D6 00 80 07 " + Hex(kAnswer135.data() + 128, 7)}},
    {"select_fails", {0x6A82}, 0x6A82, {"00 A4 00 00 02 00 10 00"}},
};

class StoreInFile : public BoundDriver, public ::testing::WithParamInterface<Store> {};

TEST_P(StoreInFile, SelectThenWriteTheAnswer) {
  QueueSw(0x6D00);
  QueueSw(0x9000, kAnswer135);
  for (int32_t sw : GetParam().answers) QueueSw(sw);
  EXPECT_EQ(MyRsaGeneratekey(0, 0x10, 0x07, kReader), GetParam().result);
  std::vector<std::string> sent;
  for (std::size_t i = 2; i < Apdus().size(); ++i) sent.push_back(Hex(Apdus()[i].frame));
  EXPECT_EQ(sent, GetParam().after_generation);
}

INSTANTIATE_TEST_SUITE_P(Rsa, StoreInFile, ::testing::ValuesIn(kStores),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
