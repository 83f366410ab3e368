// Reader session: the port table, the handle bound, CloseCom's results, the
// pass-through resets and the protocol command's bytes.
#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace twtest {
namespace {

struct PortCase {
  unsigned port;
  const char* name;
};

class PortTable : public BoundDriver, public ::testing::WithParamInterface<PortCase> {};

TEST_P(PortTable, OpensTheNamedPort) {
  SetOpenResult(0x42);
  tw_handle_t handle = 0;
  EXPECT_EQ(OpenCom(static_cast<uint8_t>(GetParam().port), &handle), 0);
  EXPECT_EQ(handle, 0x42u);
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].name, "CT_open");
  EXPECT_EQ(Calls()[0].port, GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(Ports, PortTable,
                         ::testing::Values(PortCase{0, "COM1"}, PortCase{1, "COM1"},
                                           PortCase{2, "COM2"}, PortCase{3, "COM3"},
                                           PortCase{4, "COM4"}, PortCase{260, "COM4"}));

TEST_F(BoundDriver, PortAboveFourCallsNothing) {
  tw_handle_t handle = 0x77;
  EXPECT_EQ(OpenCom(5, &handle), 2);
  EXPECT_EQ(OpenCom(255, &handle), 2);
  EXPECT_EQ(handle, 0x77u);
  EXPECT_TRUE(Calls().empty());
}

struct HandleCase {
  uint32_t from_driver;
  int32_t result;
};

class HandleBound : public BoundDriver, public ::testing::WithParamInterface<HandleCase> {};

TEST_P(HandleBound, UnusableHandlesAreStoredAndReported) {
  SetOpenResult(GetParam().from_driver);
  tw_handle_t handle = 0x55;
  EXPECT_EQ(OpenCom(1, &handle), GetParam().result);
  EXPECT_EQ(handle, GetParam().from_driver);
}

INSTANTIATE_TEST_SUITE_P(Handles, HandleBound,
                         ::testing::Values(HandleCase{0, 1}, HandleCase{1, 0},
                                           HandleCase{0x0FFFFFFF, 0}, HandleCase{0x10000000, 1},
                                           HandleCase{0xFFFFFFFF, 1}));

struct CloseCase {
  int32_t from_driver;
  int32_t result;
};

class CloseResults : public BoundDriver, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(CloseResults, OnlyTheLowByteCountsAndTheVariableIsCleared) {
  SetCloseResult(GetParam().from_driver);
  tw_handle_t handle = 0x42;
  EXPECT_EQ(CloseCom(&handle), GetParam().result);
  EXPECT_EQ(handle, 0u);
  ASSERT_EQ(Calls().size(), 1u);
  EXPECT_EQ(Calls()[0].args.at(0), 0x42);
}

INSTANTIATE_TEST_SUITE_P(Closing, CloseResults,
                         ::testing::Values(CloseCase{0, 0}, CloseCase{0x100, 0}, CloseCase{1, 1},
                                           CloseCase{-1, 1}));

TEST_F(BoundDriver, CloseComWithoutOpenReaderCallsNothing) {
  tw_handle_t handle = 0x42;
  ASSERT_EQ(CloseCom(&handle), 0);
  EXPECT_EQ(CloseCom(&handle), 2);
  EXPECT_EQ(Calls().size(), 1u);
}

TEST_F(BoundDriver, ResetsAndNadPassThrough) {
  SetPassResult(-7);
  EXPECT_EQ(ResetReader(11), -7);
  EXPECT_EQ(ResetICC(1, -2, 3), -7);
  EXPECT_EQ(setNAD(0x21), -7);
  ASSERT_EQ(Calls().size(), 3u);
  EXPECT_EQ(Calls()[0].name, "CT_reset");
  EXPECT_EQ(Calls()[0].args, (std::vector<int64_t>{11}));
  EXPECT_EQ(Calls()[1].name, "ICC_reset");
  EXPECT_EQ(Calls()[1].args, (std::vector<int64_t>{1, -2, 3}));
  EXPECT_EQ(Calls()[2].name, "ICC_set_NAD");
  EXPECT_EQ(Calls()[2].args, (std::vector<int64_t>{0x21}));
}

struct ProtocolCase {
  unsigned selector;
  const char* frame;
};

class ProtocolFrames : public BoundDriver, public ::testing::WithParamInterface<ProtocolCase> {};

TEST_P(ProtocolFrames, OneDataByteFromTheSelector) {
  QueueSw(0x6A86);
  EXPECT_EQ(ChangeProtocal(static_cast<uint8_t>(GetParam().selector), 0x99), 0x6A86);
  ASSERT_EQ(Apdus().size(), 1u);
  EXPECT_EQ(Apdus()[0].cmd_len, 6);
  EXPECT_EQ(Apdus()[0].handle, 0x99u);
  EXPECT_EQ(Hex(Apdus()[0].frame), GetParam().frame);
}

INSTANTIATE_TEST_SUITE_P(Protocol, ProtocolFrames,
                         ::testing::Values(ProtocolCase{0, "80 14 00 00 01 FE"},
                                           ProtocolCase{1, "80 14 00 00 01 FF"},
                                           ProtocolCase{2, "80 14 00 00 01 FF"}));

}  // namespace
}  // namespace twtest
