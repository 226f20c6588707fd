// The port's own rules (comm32), on the in-memory device: writes without room, the transmit
// queue's size, reads ahead of the link and what a purge or reopen does with them.
#include <gtest/gtest.h>

#include "link/comm32.h"
#include "support/link_on_fake_port.h"

namespace kt6 {
namespace {

class Comm32Test : public ::testing::Test, protected testing::LinkOnFakePort {};

TEST_F(Comm32Test, writeWithoutRoomHandsNothingOverAndKeepsPortError) {
    wire.txQueueSize = 10;
    port.OpenPort("bio1");
    wire.pendingOutput = 6;
    wire.writeError = 0;
    EXPECT_TRUE(port.WriteString(Bytes(5, 1)));
    EXPECT_TRUE(wire.written.empty());
    EXPECT_FALSE(port.WriteString(Bytes(4, 1)));
    EXPECT_EQ(wire.written.size(), 4u);
    wire.writeLimit = 2;
    wire.pendingOutput = 0;
    EXPECT_FALSE(port.WriteString(Bytes(4, 1)));
    EXPECT_EQ(port.PortError(), Comm32::kShortWrite);
}

TEST_F(Comm32Test, zeroTransmitQueueSizeMeans2048) {
    wire.txQueueSize = 0;
    port.OpenPort("bio1");
    EXPECT_EQ(port.TxQueueSize(), 2048);
}

TEST_F(Comm32Test, readByteWithNothingWaitingDoesNotRead) {
    const int before = wire.readCalls;
    std::uint8_t b = 0;
    EXPECT_FALSE(port.ReadByte(b));
    EXPECT_EQ(wire.readCalls, before);
}

TEST_F(Comm32Test, whatWaitsIsReadInOneCallAndHandedOutByteByByte) {
    Bytes noise(1000);
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<std::uint8_t>(i * 7);
    wire.feedReceived(noise);
    const int before = wire.readCalls;
    Bytes got;
    std::uint8_t b = 0;
    while (port.ReadByte(b)) got.push_back(b);
    EXPECT_EQ(got, noise);
    EXPECT_EQ(wire.readCalls, before + 1);
}

TEST_F(Comm32Test, bytesReadAheadCountAsWaitingAndGoWithAPurgeOrAClose) {
    wire.feedReceived({1, 2, 3});
    std::uint8_t b = 0;
    ASSERT_TRUE(port.ReadByte(b));
    EXPECT_EQ(port.InputCount(), 2);
    EXPECT_TRUE(port.WaitForInput(std::chrono::milliseconds(0)));
    port.SetPortParams(19200, 'n', 8, 1, 'N');
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_FALSE(port.ReadByte(b));
    wire.feedReceived({4, 5});
    ASSERT_TRUE(port.ReadByte(b));
    port.ClosePort();
    port.OpenPort("bio1");
    EXPECT_FALSE(port.ReadByte(b));
}

TEST_F(Comm32Test, failedReopenLeavesNoPortOpen) {
    wire.openError = 2;
    EXPECT_EQ(port.OpenPort("bio2"), 2);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(port.PortError(), 2);
    EXPECT_NE(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
}

}  // namespace
}  // namespace kt6
