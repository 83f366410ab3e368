// Driver binding: which variant a selector loads, what a second InitialLib
// does, and that nothing reaches the driver once it is unbound.
#include <gtest/gtest.h>

#include "support/fixtures.h"

namespace twtest {
namespace {

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeLib();
    Reset();
  }
  void TearDown() override { FreeLib(); }

  // The variant that answers a command sent now.
  static std::string BoundVariant() {
    const std::size_t before = Apdus().size();
    ChangeProtocal(1, kReader);
    return Apdus().size() > before ? Apdus().back().variant : "none";
  }
};

struct SelectorCase {
  unsigned selector;
  const char* variant;
};

class SelectorTable : public Binding, public ::testing::WithParamInterface<SelectorCase> {};

TEST_P(SelectorTable, LoadsTheVariantTheLowByteNames) {
  // 257 reaches the library as its low byte, 1.
  ASSERT_EQ(InitialLib(static_cast<uint8_t>(GetParam().selector)), 1);
  EXPECT_EQ(BoundVariant(), GetParam().variant);
}

INSTANTIATE_TEST_SUITE_P(Selectors, SelectorTable,
                         ::testing::Values(SelectorCase{1, "serial"}, SelectorCase{257, "serial"},
                                           SelectorCase{0, "usb"}, SelectorCase{2, "usb"},
                                           SelectorCase{255, "usb"}));

TEST_F(Binding, SecondInitialLibKeepsTheFirstVariant) {
  ASSERT_EQ(InitialLib(1), 1);
  const std::size_t loads = LoadEvents().size();
  EXPECT_EQ(InitialLib(0), 1);
  EXPECT_EQ(LoadEvents().size(), loads) << "a second driver was loaded";
  EXPECT_EQ(BoundVariant(), "serial");
}

TEST_F(Binding, FreeLibUnloadsOnceThenReportsNothingBound) {
  ASSERT_EQ(InitialLib(1), 1);
  EXPECT_EQ(FreeLib(), 1);
  ASSERT_FALSE(LoadEvents().empty());
  EXPECT_EQ(LoadEvents().back(), "unload serial");
  EXPECT_EQ(FreeLib(), 0);
}

TEST_F(Binding, FreeLibThenInitialLibBindsAfresh) {
  ASSERT_EQ(InitialLib(1), 1);
  ASSERT_EQ(FreeLib(), 1);
  ASSERT_EQ(InitialLib(0), 1);
  EXPECT_EQ(BoundVariant(), "usb");
}

// With no driver bound (never, or after FreeLib) every export that needs the
// driver calls nothing and reports a driver failure.
class Unbound : public Binding, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    Binding::SetUp();
    if (GetParam()) {
      ASSERT_EQ(InitialLib(1), 1);
      ASSERT_EQ(FreeLib(), 1);
    }
    Reset();
  }
};

TEST_P(Unbound, NothingIsCalled) {
  tw_handle_t handle = 0xAAAA;
  EXPECT_EQ(OpenCom(1, &handle), 1);
  EXPECT_EQ(handle, 0xAAAAu) << "the handle variable must stay as it was";
  EXPECT_EQ(OpenCom(5, &handle), 2);
  EXPECT_EQ(CloseCom(&handle), 1);
  EXPECT_EQ(handle, 0u);
  EXPECT_EQ(CloseCom(&handle), 2);
  EXPECT_EQ(ResetReader(1), 0xFFFF);
  EXPECT_EQ(ResetICC(1, 2, 3), 0xFFFF);
  EXPECT_EQ(setNAD(1), 0xFFFF);
  EXPECT_EQ(ChangeProtocal(1, kReader), 0xFFFF);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(Apdus().empty());
}

INSTANTIATE_TEST_SUITE_P(NeverBoundOrFreed, Unbound, ::testing::Values(false, true));

}  // namespace
}  // namespace twtest
