// The reader session through the library: four ports with cards of their
// own, the resets, the node address, the protocol switch and closing.
#include "card_session.h"

namespace e2e {
namespace {

TEST_F(CardSession, EachPortHasItsOwnCard) {
  std::vector<tw_handle_t> handles{reader_};
  for (uint8_t port = 2; port <= 4; ++port) {
    tw_handle_t handle = 0;
    ASSERT_EQ(OpenCom(port, &handle), 0) << int{port};
    ASSERT_EQ(ResetICC(static_cast<int32_t>(handle), 0, 0), 0);
    handles.push_back(handle);
  }
  EXPECT_EQ(std::set<tw_handle_t>(handles.begin(), handles.end()).size(), 4u);
  for (std::size_t i = 0; i < handles.size(); ++i) {
    const std::vector<uint8_t> mark = {static_cast<uint8_t>(0xA0 + i)};
    ASSERT_EQ(SelectFile(0x00, 0, 0x01, handles[i]), 0x9000);
    ASSERT_EQ(UpdateBin(1, mark.data(), handles[i]), 0x9000);
  }
  for (std::size_t i = 0; i < handles.size(); ++i) {
    std::vector<uint8_t> mark(1);
    ASSERT_EQ(ReadBin(1, mark.data(), handles[i]), 0x9000);
    EXPECT_EQ(mark[0], 0xA0 + i);
  }
  for (std::size_t i = 1; i < handles.size(); ++i) EXPECT_EQ(CloseCom(&handles[i]), 0);
}

TEST_F(CardSession, PortZeroIsTheFirstPortToo) {
  tw_handle_t again = 0;
  EXPECT_EQ(OpenCom(0, &again), 1) << "COM1 is already open";
  ASSERT_EQ(CloseCom(&reader_), 0);
  EXPECT_EQ(OpenCom(0, &reader_), 0);
  EXPECT_EQ(reader_, 1u);
}

TEST_F(CardSession, ReaderResetEndsTheSecurityState) {
  ASSERT_EQ(VerifyPassphrase(kPassphrase01.data(), 8, 0x01, reader_), 0x9000);
  ASSERT_EQ(ResetReader(static_cast<int32_t>(reader_)), 0);
  ASSERT_EQ(SelectFile(0x00, 0, 0x04, reader_), 0x9000);
  const std::vector<uint8_t> data = Pattern(4, 0);
  EXPECT_EQ(UpdateBin(4, data.data(), reader_), 0x6982);
}

TEST_F(CardSession, NodeAddressAndProtocolSwitch) {
  EXPECT_EQ(setNAD(0x12), 0);
  EXPECT_EQ(ChangeProtocal(1, reader_), 0x9000);
  EXPECT_EQ(ChangeProtocal(0, reader_), 0x9000);
}

// A closed reader's handle reaches the driver, which refuses it; the
// library reports the failed exchange after its retries.
TEST_F(CardSession, ClosedReaderRefusesCommands) {
  const tw_handle_t stale = reader_;
  ASSERT_EQ(CloseCom(&reader_), 0);
  EXPECT_EQ(reader_, 0u);
  EXPECT_EQ(CloseCom(&reader_), 2);
  EXPECT_EQ(SelectFile(0x00, 0, 0x01, stale), 0xFFFF);
  EXPECT_NE(ResetICC(static_cast<int32_t>(stale), 0, 0), 0);
}

}  // namespace
}  // namespace e2e
