// The inhibit line's cases that rest on POSIX: errno's "input/output error" of an adapter
// that went away, and a symbolic link any user may make.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "core/serial_inhibit_line.h"
#include "support/fake_line_control.h"

namespace kt6 {
namespace {

using testing::FakeLineState;
using ::testing::HasSubstr;
using testing::lineOn;

TEST(SerialInhibitLine, aDeviceThatWentAwayIsOpenedAgainButOneWithoutLinesIsNot) {
    FakeLineState state;
    auto line = lineOn(state, ModemLine::Rts, false);
    line.assertLine();
    state.setError = EIO;
    EXPECT_THAT(line.releaseLine(), HasSubstr("/dev/ttyUSB3 RTS: input/output error"));
    state.setError = 0;
    EXPECT_EQ(line.releaseLine(), "");
    EXPECT_EQ(state.opens, 2);

    FakeLineState pty;
    auto noLines = lineOn(pty, ModemLine::Dtr, false, "/dev/pts/4");
    pty.setError = kNoModemLines;
    EXPECT_THAT(noLines.assertLine(), HasSubstr("/dev/pts/4 DTR: this device has no RTS or DTR"));
    EXPECT_THAT(noLines.assertLine(), HasSubstr("no RTS or DTR"));
    EXPECT_EQ(pty.opens, 1);
}

TEST(SerialInhibitLine, aLineIsTheSameThroughALinkButNotOnTheOtherLine) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kt6-same-line-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto device = dir / "ttyUSB3";
    std::ofstream(device).put('x');
    std::filesystem::create_symlink(device, dir / "by-id");
    const InhibitLineChoice rts{device.string(), ModemLine::Rts, false};
    EXPECT_TRUE(sameLine(rts, {(dir / "by-id").string(), ModemLine::Rts, true}));
    EXPECT_FALSE(sameLine(rts, {(dir / "by-id").string(), ModemLine::Dtr, false}));
    EXPECT_FALSE(sameLine(rts, {(dir / "other").string(), ModemLine::Rts, false}));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kt6
