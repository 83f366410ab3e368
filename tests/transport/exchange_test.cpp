// The command exchange: retries while the driver reports 0xFFFF, identical
// arguments on every attempt, a cleared response before the first.
#include <gtest/gtest.h>

#include <vector>

#include "support/fixtures.h"

namespace twtest {
namespace {

struct RetryCase {
  const char* name;
  std::vector<int32_t> answers;
  std::size_t calls;
  int32_t result;
};

class Retries : public BoundDriver, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(Retries, CallCountAndResult) {
  for (int32_t sw : GetParam().answers) QueueSw(sw);
  SetDefault({0x6F00, {}, {}});
  EXPECT_EQ(ChangeProtocal(1, kReader), GetParam().result);
  EXPECT_EQ(Apdus().size(), GetParam().calls);
}

INSTANTIATE_TEST_SUITE_P(
    Exchange, Retries,
    ::testing::Values(RetryCase{"success", {0x9000}, 1, 0x9000},
                      RetryCase{"card_error_ends_retries", {0x6D00}, 1, 0x6D00},
                      RetryCase{"three_failures_then_success", {0xFFFF, 0xFFFF, 0xFFFF, 0x9000}, 4, 0x9000},
                      RetryCase{"one_failure", {0xFFFF, 0x6A82}, 2, 0x6A82},
                      RetryCase{"always_failing", {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x9000}, 4, 0xFFFF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(BoundDriver, RetriesRepeatTheCallAsItStands) {
  // The first attempt leaves bytes in the response; the retry sees them.
  Queue({0xFFFF, {0xAA, 0xBB}, {}});
  QueueSw(0x9000);
  ASSERT_EQ(ChangeProtocal(0, kReader), 0x9000);
  ASSERT_EQ(Apdus().size(), 2u);
  const Apdu& first = Apdus()[0];
  const Apdu& second = Apdus()[1];
  EXPECT_EQ(Hex(first.frame), Hex(second.frame));
  EXPECT_EQ(first.cmd_len, second.cmd_len);
  EXPECT_EQ(first.handle, kReader);
  EXPECT_EQ(second.handle, kReader);
  EXPECT_EQ(first.rsp_ptr, second.rsp_ptr);
  EXPECT_EQ(first.rsp_len_before, 0) << "the response length is cleared before the exchange";
  EXPECT_EQ(Hex(first.rsp_before), Hex(std::vector<uint8_t>(256, 0)));
  EXPECT_EQ(second.rsp_len_before, 2) << "nothing is reset between attempts";
  EXPECT_EQ(second.rsp_before[0], 0xAA);
}

TEST_F(BoundDriver, EachCommandStartsWithACleanResponse) {
  QueueSw(0x9000, std::vector<uint8_t>(200, 0x5A));
  QueueSw(0x9000);
  ChangeProtocal(1, kReader);
  ChangeProtocal(1, kReader);
  ASSERT_EQ(Apdus().size(), 2u);
  EXPECT_EQ(Apdus()[1].rsp_len_before, 0);
  EXPECT_EQ(Hex(Apdus()[1].rsp_before), Hex(std::vector<uint8_t>(256, 0)));
}

}  // namespace
}  // namespace twtest
