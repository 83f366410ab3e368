// Ports and handles: which names open which card, what a closed or unknown
// handle gets, bad pointers, the resets and the node address.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "driver_support.h"

namespace skorratest {
namespace {

struct NameCase {
  const char* name;
  uint32_t handle;
};

class PortNames : public DriverTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(PortNames, NameGivesItsHandle) {
  const uint32_t handle = driver_.CT_open(GetParam().name);
  EXPECT_EQ(handle, GetParam().handle);
  if (handle != 0) {
    EXPECT_EQ(driver_.CT_close(handle), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, PortNames,
                         ::testing::Values(NameCase{"COM1", 1}, NameCase{"COM2", 2}, NameCase{"COM3", 3},
                                           NameCase{"COM4", 4}, NameCase{"COM0", 0}, NameCase{"COM5", 0},
                                           NameCase{"com1", 0}, NameCase{"", 0}, NameCase{"COM1 ", 0},
                                           NameCase{"COM10", 0}, NameCase{"COM", 0},
                                           NameCase{"COM1COM1COM1COM1", 0}));

TEST_F(DriverTest, NullPortNameOpensNothing) { EXPECT_EQ(driver_.CT_open(nullptr), 0u); }

TEST_F(DriverTest, PortServesOneSessionAtATime) {
  EXPECT_EQ(driver_.CT_open("COM1"), 1u);
  EXPECT_EQ(driver_.CT_open("COM1"), 0u);
  EXPECT_EQ(driver_.CT_open("COM2"), 2u);
  EXPECT_EQ(driver_.CT_close(1), 0);
  EXPECT_EQ(driver_.CT_close(1), 1);
  EXPECT_EQ(driver_.CT_open("COM1"), 1u);
}

TEST_F(DriverTest, CloseRefusesHandlesThatAreNotOpen) {
  for (uint32_t handle : {0u, 1u, 4u, 5u, 0x10000000u, 0xFFFFFFFFu})
    EXPECT_NE(driver_.CT_close(handle), 0) << handle;
}

// 0xFFFF: the exchange could not happen, so the library reports it as such
// after its retries, and the caller's buffer is left alone.
TEST_F(DriverTest, CommandsOnHandlesThatAreNotOpenAreRefused) {
  const uint32_t closed = driver_.CT_open("COM2");
  ASSERT_EQ(driver_.CT_close(closed), 0);
  const std::vector<uint8_t> command = Bytes(apdu::kRead4);
  for (uint32_t handle : {0u, 1u, closed, 5u, 0x10000000u, 0xFFFFFFFFu}) {
    std::array<uint8_t, 256> rsp;
    rsp.fill(0xA5);
    uint8_t rsp_len = 0x33;
    EXPECT_EQ(driver_.ICC_tsi_api(handle, 5, command.data(), &rsp_len, rsp.data()), 0xFFFF) << handle;
    EXPECT_EQ(rsp_len, 0) << handle;
    EXPECT_EQ(rsp[0], 0xA5) << handle;
  }
}

TEST_F(DriverTest, MissingBuffersAreRefusedWithoutRunningTheCommand) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  const std::vector<uint8_t> write = Bytes(apdu::kWriteDeadBeef);
  uint8_t rsp[256];
  uint8_t rsp_len = 0;
  EXPECT_EQ(driver_.ICC_tsi_api(handle, 9, write.data(), &rsp_len, nullptr), 0xFFFF);
  EXPECT_EQ(driver_.ICC_tsi_api(handle, 9, write.data(), nullptr, rsp), 0xFFFF);
  EXPECT_EQ(driver_.ICC_tsi_api(handle, 9, nullptr, &rsp_len, rsp), 0xFFFF);
  Answer read = Send(handle, apdu::kRead4);
  EXPECT_EQ(read.sw, 0x9000);
  EXPECT_EQ(read.data, "00 00 00 00");
}

TEST_F(DriverTest, MalformedCommandsReachTheCardAndLeaveItWorking) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  uint8_t rsp[256];
  uint8_t rsp_len = 0;
  EXPECT_NE(driver_.ICC_tsi_api(handle, 0, nullptr, &rsp_len, rsp), 0xFFFF);
  for (const char* command : {"00", "00 A4", "00 A4 00 00 09 00 01", "00 D6 00 00 80 01"})
    EXPECT_NE(Send(handle, command).sw, 0x9000) << command;
  EXPECT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kRead4).sw, 0x9000);
}

// Le 00 asks for 256 bytes; a one-byte response length holds 255 at most,
// and nothing past the 256-byte buffer is ever touched.
TEST_F(DriverTest, AnswersStayWithinTheResponseBuffer) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  for (const char* command : {"00 B0 00 00 00", "00 B0 00 00 FF", "00 84 00 00 00"}) {
    std::array<uint8_t, 300> rsp;
    rsp.fill(0xA5);
    uint8_t rsp_len = 0;
    const std::vector<uint8_t> bytes = Bytes(command);
    driver_.ICC_tsi_api(handle, static_cast<uint8_t>(bytes.size()), bytes.data(), &rsp_len, rsp.data());
    for (std::size_t i = 256; i < rsp.size(); ++i) ASSERT_EQ(rsp[i], 0xA5) << command << " byte " << i;
  }
}

TEST_F(DriverTest, PortsHoldIndependentCards) {
  const uint32_t first = OpenAndPowerUp("COM1");
  const uint32_t second = OpenAndPowerUp("COM2");
  ASSERT_EQ(Send(first, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(first, apdu::kWriteDeadBeef).sw, 0x9000);
  ASSERT_EQ(Send(second, apdu::kSelectData).sw, 0x9000);
  EXPECT_EQ(Send(second, apdu::kRead4).data, "00 00 00 00");
  EXPECT_EQ(Send(first, apdu::kRead4).data, "DE AD BE EF");
}

TEST_F(DriverTest, WithoutCardFolderCardsLiveInMemoryAcrossSessions) {
  ScopedEnv in_memory("SKORRA_VCARD_DIR", std::nullopt);
  uint32_t handle = OpenAndPowerUp("COM3");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);
  ASSERT_EQ(driver_.CT_close(handle), 0);
  handle = OpenAndPowerUp("COM3");
  ASSERT_EQ(Send(handle, apdu::kSelectData).sw, 0x9000);
  EXPECT_EQ(Send(handle, apdu::kRead4).data, "DE AD BE EF");
  EXPECT_TRUE(std::filesystem::is_empty(cards_.path()));
}

struct ResetCase {
  const char* name;
  int32_t (*reset)(const Driver&, int32_t handle);
};

class CardResets : public DriverTest, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(CardResets, RefuseHandlesThatAreNotOpen) {
  for (int32_t handle : {0, 1, 5, -1}) EXPECT_NE(GetParam().reset(driver_, handle), 0) << handle;
}

// EF 0004 is updatable only after VERIFY; a reset takes that right away
// but keeps what was written.
TEST_P(CardResets, ClearTheSecurityStateAndKeepTheFiles) {
  const uint32_t handle = OpenAndPowerUp("COM1");
  ASSERT_EQ(Send(handle, apdu::kSelectPinFile).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x6982);
  ASSERT_EQ(Send(handle, apdu::kVerify).sw, 0x9000);
  ASSERT_EQ(Send(handle, apdu::kWriteDeadBeef).sw, 0x9000);

  EXPECT_EQ(GetParam().reset(driver_, static_cast<int32_t>(handle)), 0);
  ASSERT_EQ(Send(handle, apdu::kSelectPinFile).sw, 0x9000);
  EXPECT_EQ(Send(handle, "00 D6 00 00 01 00").sw, 0x6982);
  EXPECT_EQ(Send(handle, apdu::kRead4).data, "DE AD BE EF");
}

INSTANTIATE_TEST_SUITE_P(
    Resets, CardResets,
    ::testing::Values(ResetCase{"card", [](const Driver& d, int32_t h) { return d.ICC_reset(h, 0, 0); }},
                      ResetCase{"reader", [](const Driver& d, int32_t h) { return d.CT_reset(h); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct NadCase {
  int32_t nad;
  int32_t result;
};

class NodeAddress : public DriverTest, public ::testing::WithParamInterface<NadCase> {};

TEST_P(NodeAddress, TakesOneByte) { EXPECT_EQ(driver_.ICC_set_NAD(GetParam().nad), GetParam().result); }

INSTANTIATE_TEST_SUITE_P(Values, NodeAddress,
                         ::testing::Values(NadCase{0, 0}, NadCase{0x12, 0}, NadCase{0xFF, 0}, NadCase{-1, 1},
                                           NadCase{0x100, 1}));

}  // namespace
}  // namespace skorratest
