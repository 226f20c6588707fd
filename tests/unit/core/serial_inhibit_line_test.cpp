// The inhibit line on one modem line of a device: which level asserted is, which line moves,
// when the device is opened, and what a failure says.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/serial_inhibit_line.h"
#include "support/fake_line_control.h"

namespace kt6 {
namespace {

using ::testing::ElementsAre;
using testing::FakeLineControl;
using testing::FakeLineState;
using ::testing::HasSubstr;
using testing::lineOn;

TEST(SerialInhibitLine, assertedIsTheLineOnUnlessActiveLowAndNoOtherLineMoves) {
    for (ModemLine which : {ModemLine::Rts, ModemLine::Dtr}) {
        const ModemLine other = which == ModemLine::Rts ? ModemLine::Dtr : ModemLine::Rts;
        FakeLineState high;
        auto activeHigh = lineOn(high, which, false);
        EXPECT_EQ(activeHigh.assertLine(), "");
        EXPECT_TRUE(high.on("/dev/ttyUSB3", which));
        EXPECT_EQ(activeHigh.releaseLine(), "");
        EXPECT_FALSE(high.on("/dev/ttyUSB3", which));
        EXPECT_FALSE(high.driven("/dev/ttyUSB3", other));

        FakeLineState low;
        auto activeLow = lineOn(low, which, true);
        EXPECT_EQ(activeLow.assertLine(), "");
        EXPECT_FALSE(low.on("/dev/ttyUSB3", which));
        EXPECT_EQ(activeLow.releaseLine(), "");
        EXPECT_TRUE(low.on("/dev/ttyUSB3", which));
        EXPECT_FALSE(low.driven("/dev/ttyUSB3", other));
    }
}

TEST(SerialInhibitLine, theDeviceIsOpenedAtTheFirstDriveAndKeptOpen) {
    FakeLineState state;
    auto line = lineOn(state, ModemLine::Dtr, false);
    EXPECT_TRUE(state.log.empty());
    line.assertLine();
    line.releaseLine();
    line.assertLine();
    EXPECT_THAT(state.log, ElementsAre("open /dev/ttyUSB3", "DTR on", "DTR off", "DTR on"));
}

TEST(SerialInhibitLine, aFailedOpenNamesDeviceAndLineAndIsTriedAgainAtTheNextDrive) {
    FakeLineState state;
    state.openError = ENOENT;
    auto line = lineOn(state, ModemLine::Rts, false);
    EXPECT_EQ(line.assertLine(),
              "/dev/ttyUSB3 RTS: no such device; check that the adapter is plugged in");
    state.openError = 0;
    EXPECT_EQ(line.assertLine(), "");
    EXPECT_THAT(state.log, ElementsAre("open /dev/ttyUSB3", "open /dev/ttyUSB3", "RTS on"));
}

TEST(SerialInhibitLine, aNetworkPortIsRefusedWithoutAnOpen) {
    FakeLineState state;
    auto line = lineOn(state, ModemLine::Rts, false, "rfc2217://shack:2217");
    EXPECT_THAT(line.assertLine(), HasSubstr("a network port has no line on this computer"));
    EXPECT_TRUE(state.log.empty());
}

}  // namespace
}  // namespace kt6
