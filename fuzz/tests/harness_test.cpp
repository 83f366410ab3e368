// The harnesses' own pieces: a harness that misreads its input or misses a
// broken guard would hide the faults it is there to find.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "card/generation_cap.h"
#include "common/buffers.h"
#include "common/byte_source.h"
#include "der/der_check.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& hex) {
  std::vector<uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 3)
    out.push_back(std::stoi(hex.substr(i, 2), nullptr, 16));
  return out;
}

TEST(ByteSource, ReadsBigEndianThenZerosPastTheEnd) {
  const auto input = Bytes("12 34 56 78 9A");
  twfuzz::ByteSource in(input.data(), input.size());
  EXPECT_EQ(in.U16(), 0x1234);
  EXPECT_EQ(in.U32(), 0x56789A00u);
  EXPECT_TRUE(in.empty());
  uint8_t rest[3] = {1, 2, 3};
  EXPECT_EQ(in.Take(rest, 3), 0u);
  in.Fill(rest, 3);
  EXPECT_EQ(rest[0] | rest[1] | rest[2], 0);
}

struct LayoutCase {
  const char* der;
  std::size_t header;
  uint64_t length;
  bool decodable;  // fits the bytes given, with content
};

class DerLayoutTest : public testing::TestWithParam<LayoutCase> {};

TEST_P(DerLayoutTest, ReadsTheLengthFieldAsTheDecoderDoes) {
  const auto der = Bytes(GetParam().der);
  const auto layout = twfuzz::ReadDerLayout(der.data(), der.size());
  ASSERT_TRUE(layout.has_value());
  EXPECT_EQ(layout->header_size, GetParam().header);
  EXPECT_EQ(layout->content_length, GetParam().length);
  EXPECT_EQ(twfuzz::FitsDecoder(*layout, der.size()), GetParam().decodable);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, DerLayoutTest,
    testing::Values(LayoutCase{"02 03 01 00 01", 2, 3, true}, LayoutCase{"02 01 00", 2, 1, true},
                    LayoutCase{"02 00", 2, 0, false},  // no content byte
                    LayoutCase{"02 04 01 00 01", 2, 4, false},
                    LayoutCase{"02 81 02 00 80", 3, 2, true},
                    LayoutCase{"02 82 00 01 7F", 4, 1, true},
                    LayoutCase{"02 84 00 00 00 02 12 34", 6, 2, true},
                    LayoutCase{"02 80 00 00 00 01 7F", 6, 1, true},  // read as 84
                    LayoutCase{"02 FF FF FF FF FF 00", 6, 0xFFFFFFFF, false}));

TEST(DerLayout, AHeaderCutShortHasNoLayout) {
  for (const char* der : {"02", "02 81", "02 82 01", "02 84 00 00 00"}) {
    const auto bytes = Bytes(der);
    EXPECT_FALSE(twfuzz::ReadDerLayout(bytes.data(), bytes.size()).has_value()) << der;
  }
}

TEST(DerCheck, ACorrectDecodePassesEveryCheck) {
  for (const char* der :
       {"02 02 00 80", "02 03 00 00 05", "04 03 01 00 01", "02 80 00 00 00 01 7F"}) {
    const auto bytes = Bytes(der);
    twfuzz::DecodeAndCheck(bytes.data(), *twfuzz::ReadDerLayout(bytes.data(), bytes.size()));
  }
}

TEST(GuardedBuffersDeathTest, AWriteOutsideTheOutputIsCaught) {
  EXPECT_DEATH(
      {
        twfuzz::OutputBytes out(8);
        out.get()[8] = 0;
      },
      "past the end");
  EXPECT_DEATH(
      {
        twfuzz::OutputBytes out(8);
        out.get()[-1] = 0;
      },
      "in front");
}

TEST(GuardedBuffersDeathTest, AWriteToAnInputIsCaught) {
  const auto bytes = Bytes("01 02 03");
  EXPECT_DEATH(
      {
        twfuzz::InputBytes in(bytes.data(), bytes.size());
        in.writable()[1] = 9;
      },
      "input buffer was written");
}

TEST(GuardedBuffers, UntouchedUntilWritten) {
  twfuzz::OutputValue<uint32_t> value;
  EXPECT_TRUE(value.Untouched());
  *value.get() = 0;
  EXPECT_FALSE(value.Untouched());
}

// One command and the card's answer, as the cap sees them.
struct Step {
  const char* apdu;
  uint16_t sw;
  bool allowed;  // whether the cap lets the command through
};

struct CapCase {
  const char* name;
  std::vector<Step> steps;
};

class GenerationCapTest : public testing::TestWithParam<CapCase> {};

TEST_P(GenerationCapTest, AtMostOneGenerationGetsThrough) {
  twfuzz::GenerationCap cap;
  for (const Step& step : GetParam().steps) {
    if (std::string(step.apdu) == "reset") {
      cap.Reset();
      continue;
    }
    const auto apdu = Bytes(step.apdu);
    EXPECT_EQ(cap.Allows(apdu.data(), apdu.size()), step.allowed) << step.apdu;
    if (step.allowed) cap.Note(apdu.data(), apdu.size(), {{}, step.sw});
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, GenerationCapTest,
                         testing::Values(CapCase{"SecondGenerationHeldBack",
                                                 {{"80 CE 00 01 00", 0x6FF0, true},
                                                  {"00 00 00 00 00", 0x6D00, true},
                                                  {"80 CE 00 01 00", 0x9000, true},
                                                  {"80 CE 00 01 00", 0x9000, true},
                                                  {"80 CE 00 02 00", 0x6FF0, true},
                                                  {"00 00 00 00 00", 0x6D00, true},
                                                  {"80 CE 00 02 00", 0x9000, false}}},
                                         CapCase{"RefusedCommandKeepsTheGenerationPending",
                                                 {{"80 CE 00 01 00", 0x6FF0, true},
                                                  {"80 CE 00 01 00", 0x9000, true},
                                                  {"80 CE 00 03 00", 0x6FF0, true},
                                                  {"80 CE 00 07 00", 0x6A86, true},
                                                  {"80 CE 00 03 00", 0x9000, false}}},
                                         CapCase{"OtherCommandOrResetAbandonsIt",
                                                 {{"80 CE 00 01 00", 0x6FF0, true},
                                                  {"80 CE 00 01 00", 0x9000, true},
                                                  {"80 CE 00 02 00", 0x6FF0, true},
                                                  {"00 A4 00 00 02 3F 00", 0x9000, true},
                                                  {"80 CE 00 02 00", 0x6FF0, true},
                                                  {"reset", 0, true},
                                                  {"80 CE 00 02 00", 0x6FF0, true}}}),
                         [](const testing::TestParamInfo<CapCase>& info) {
                           return info.param.name;
                         });

}  // namespace
