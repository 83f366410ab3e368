// A driver that exports only CT_open and ICC_reset still binds; every export
// whose driver function is missing calls nothing and reports a failure.
#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace twtest {
namespace {

TEST(PartialDriver, MissingSlotsAreNeverCalled) {
  Reset();
  ASSERT_EQ(InitialLib(1), 1);
  tw_handle_t handle = 0;
  SetOpenResult(0x42);
  EXPECT_EQ(OpenCom(1, &handle), 0);
  EXPECT_EQ(ResetICC(1, 0, 0), 0);
  EXPECT_EQ(ResetReader(1), 0xFFFF);
  EXPECT_EQ(setNAD(1), 0xFFFF);
  EXPECT_EQ(ChangeProtocal(1, handle), 0xFFFF);
  EXPECT_EQ(CloseCom(&handle), 1);
  EXPECT_EQ(handle, 0u);
  ASSERT_EQ(Calls().size(), 2u);
  EXPECT_EQ(Calls()[0].name, "CT_open");
  EXPECT_EQ(Calls()[1].name, "ICC_reset");
  EXPECT_TRUE(Apdus().empty());
  EXPECT_EQ(FreeLib(), 1);
}

}  // namespace
}  // namespace twtest
