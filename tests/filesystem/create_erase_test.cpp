// File creation frames, the master file's single repetition, and the erase
// with its wait for the card.
#include <gtest/gtest.h>

#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

const uint8_t kDescription[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};

TEST_F(BoundDriver, CreateSendsSevenBytesWhateverTheLengthByte) {
  EXPECT_EQ(Createfile(0x20, 7, kDescription, kReader), 0x9000);
  EXPECT_EQ(Createfile(0x21, 3, kDescription, kReader), 0x9000);
  ASSERT_EQ(Apdus().size(), 2u);
  EXPECT_EQ(Hex(Apdus()[0].frame), "80 E0 00 20 07 01 02 03 04 05 06 07");
  EXPECT_EQ(Hex(Apdus()[1].frame), "80 E0 00 21 03 01 02 03 04 05 06 07");
}

struct MasterFileCase {
  const char* name;
  std::vector<int32_t> answers;
  std::size_t frames;
  int32_t result;
};

class MasterFile : public BoundDriver, public ::testing::WithParamInterface<MasterFileCase> {};

TEST_P(MasterFile, RepeatsAtMostOnce) {
  for (int32_t sw : GetParam().answers) QueueSw(sw);
  EXPECT_EQ(CreateMFfile(0x12, 0x34, kReader), GetParam().result);
  ASSERT_EQ(Apdus().size(), GetParam().frames);
  for (const Apdu& apdu : Apdus()) {
    EXPECT_EQ(Hex(apdu.frame), "80 E0 3F 00 0D 38 FF FF 12 34 FF FF FF FF FF FF FF FF");
  }
}

INSTANTIATE_TEST_SUITE_P(CreateMF, MasterFile,
                         ::testing::Values(MasterFileCase{"done", {0x9000}, 1, 0x9000},
                                           MasterFileCase{"refused", {0x6A86}, 1, 0x6A86},
                                           MasterFileCase{"repeat_then_done", {0x6201, 0x9000}, 2, 0x9000},
                                           MasterFileCase{"repeat_twice", {0x6201, 0x6201}, 2, 0x6201},
                                           MasterFileCase{"busy_then_done", {0x6FF0, 0x9000}, 2, 0x9000},
                                           MasterFileCase{"busy_twice", {0x6FF0, 0x6FF0}, 2, 0x6FF0}),
                         [](const auto& info) { return std::string(info.param.name); });

// 'E' for an erase frame, 'P' for a poll: one letter per driver call, so an
// erase the driver failed four times shows as EEEE.
struct Step {
  char frame;
  std::size_t count;
  int32_t sw;
};

struct EraseCase {
  const char* name;
  std::vector<Step> script;
  int32_t result;
};

class Erase : public BoundDriver, public ::testing::WithParamInterface<EraseCase> {};

TEST_P(Erase, FramesAndResult) {
  std::string expected;
  for (const Step& run : GetParam().script) {
    expected.append(run.count, run.frame);
    for (std::size_t i = 0; i < run.count; ++i) QueueSw(run.sw);
  }
  SetDefault({0x6A00, {}, {}});
  EXPECT_EQ(EraseDF(kReader), GetParam().result);
  std::string sent;
  for (const Apdu& apdu : Apdus()) {
    const std::string frame = Hex(apdu.frame);
    sent += frame == "80 0E 00 00 00" ? 'E' : frame == "00 00 00 00 00" ? 'P' : '?';
  }
  EXPECT_EQ(sent, expected);
}

INSTANTIATE_TEST_SUITE_P(
    EraseDF, Erase,
    ::testing::Values(
        EraseCase{"done", {{'E', 1, 0x9000}}, 0x9000},
        EraseCase{"refused", {{'E', 1, 0x6982}}, 0x6982},
        EraseCase{"ready_answer_not_polled", {{'E', 1, 0x6D00}}, 0x6D00},
        EraseCase{"busy_poll_erase", {{'E', 1, 0x6FF0}, {'P', 1, 0x6D00}, {'E', 1, 0x9000}}, 0x9000},
        EraseCase{"busy_polls_until_ready",
                  {{'E', 1, 0x6FF0}, {'P', 3, 0x6FF0}, {'P', 1, 0x6D00}, {'E', 1, 0x6581}}, 0x6581},
        EraseCase{"driver_failure_then_done", {{'E', 4, 0xFFFF}, {'E', 1, 0x9000}}, 0x9000},
        EraseCase{"driver_failure_then_busy",
                  {{'E', 4, 0xFFFF}, {'E', 1, 0x6FF0}, {'P', 1, 0x6D00}, {'E', 1, 0x9000}}, 0x9000},
        EraseCase{"double_driver_failure_polls",
                  {{'E', 8, 0xFFFF}, {'P', 1, 0x6D00}, {'E', 1, 0x9000}}, 0x9000},
        EraseCase{"ready_on_last_poll",
                  {{'E', 1, 0x6FF0}, {'P', 999, 0x6FF0}, {'P', 1, 0x6D00}, {'E', 1, 0x9000}}, 0x9000},
        EraseCase{"never_ready_returns_last_poll",
                  {{'E', 1, 0x6FF0}, {'P', 999, 0x6FF0}, {'P', 1, 0x6F00}}, 0x6F00}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace twtest
