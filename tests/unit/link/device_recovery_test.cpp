// Reopening a lost device on a fake clock: the retry rhythm, and the whole round on an
// in-memory port that is unplugged and plugged in again.
#include <gtest/gtest.h>

#include <memory>

#include "link/comm32.h"
#include "link/device_recovery.h"
#include "support/fake_serial.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeSerialBackend;
using testing::FakeSerialState;

TEST(DeviceRecovery, retriesEveryTwoSecondsUntilTheDeviceOpens) {
    int attempts = 0;
    bool present = false;
    DeviceRecovery recovery([&] {
        ++attempts;
        return present;
    });
    EXPECT_FALSE(recovery.elapse(10s));
    EXPECT_EQ(attempts, 0);  // nothing lost, nothing tried

    recovery.deviceLost();
    EXPECT_TRUE(recovery.retrying());
    for (int tick = 0; tick < 39; ++tick) recovery.elapse(50ms);
    EXPECT_EQ(attempts, 0);
    recovery.elapse(50ms);
    EXPECT_EQ(attempts, 1);
    for (int tick = 0; tick < 40 * 3; ++tick) recovery.elapse(50ms);
    EXPECT_EQ(attempts, 4);
    EXPECT_TRUE(recovery.retrying());

    present = true;
    bool reopened = false;
    for (int tick = 0; tick < 40; ++tick) reopened = recovery.elapse(50ms) || reopened;
    EXPECT_TRUE(reopened);
    EXPECT_EQ(attempts, 5);
    EXPECT_FALSE(recovery.retrying());
    // Once back, nothing more is tried.
    recovery.elapse(10s);
    EXPECT_EQ(attempts, 5);
}

TEST(DeviceRecovery, aLateTimerMakesOneAttemptNotABurst) {
    int attempts = 0;
    DeviceRecovery recovery([&] {
        ++attempts;
        return false;
    });
    recovery.deviceLost();
    recovery.elapse(9s);
    EXPECT_EQ(attempts, 1);
    recovery.elapse(1900ms);
    EXPECT_EQ(attempts, 1);
    recovery.elapse(100ms);
    EXPECT_EQ(attempts, 2);
}

TEST(DeviceRecovery, cancellingEndsTheRetrying) {
    int attempts = 0;
    DeviceRecovery recovery([&] {
        ++attempts;
        return false;
    });
    recovery.deviceLost();
    recovery.elapse(2s);
    ASSERT_EQ(attempts, 1);
    recovery.cancel();
    EXPECT_FALSE(recovery.retrying());
    recovery.elapse(10s);
    EXPECT_EQ(attempts, 1);
    // A later loss starts afresh: a full interval before the first attempt.
    recovery.deviceLost();
    EXPECT_EQ(recovery.attempts(), 0);
    recovery.elapse(1950ms);
    EXPECT_EQ(attempts, 1);
}

TEST(DeviceRecovery, anUnpluggedPortIsReopenedOnItsOwnMappingWhenItComesBack) {
    FakeSerialState wire;
    Comm32 port(std::make_unique<FakeSerialBackend>(wire), nullptr);
    ASSERT_EQ(port.OpenPort("/dev/ttyUSB0"), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    DeviceRecovery recovery([&] {
        return port.OpenPort("/dev/ttyUSB0") == 0 && port.SetPortParams(19200, 'n', 8, 1, 'N') == 0;
    });
    port.setDeviceLostHandler([&] { recovery.deviceLost(); });

    wire.unplug();
    EXPECT_EQ(port.InputCount(), 0);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(recovery.retrying());
    recovery.elapse(2s);
    recovery.elapse(2s);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(wire.openCount, 1);

    wire.plugIn();
    EXPECT_TRUE(recovery.elapse(2s));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.DeviceLost());
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(wire.configureCount, 2);
    wire.feedReceived({0x42});
    EXPECT_EQ(port.InputCount(), 1);
}

}  // namespace
}  // namespace kt6
