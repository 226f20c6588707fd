// The platform's line control on real files and a real pseudo-terminal: what its open refuses,
// that it leaves the port's settings and other users alone, and what a device without modem
// lines, or one that hung up, is reported as. Pseudo-terminals have no RTS or DTR, so the
// levels themselves are the fake line control's to test.
#include <fcntl.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/serial_inhibit_line.h"
#include "link/line_control.h"
#include "link/unique_fd.h"
#include "support/pty_peer.h"

namespace kt6 {
namespace {

using ::testing::HasSubstr;
using testing::PtyPair;

TEST(LineControlOpen, aMissingDeviceOrAnOrdinaryFileIsRefused) {
    auto control = makePlatformLineControl();
    EXPECT_EQ(control->open("/dev/kt6-no-such-device"), ENOENT);
    EXPECT_FALSE(control->isOpen());

    const auto file =
        std::filesystem::temp_directory_path() / ("kt6-line-" + std::to_string(::getpid()));
    std::ofstream(file) << "not a tty\n";
    EXPECT_EQ(control->open(file.string()), ENOTTY);
    EXPECT_FALSE(control->isOpen());
    std::filesystem::remove(file);
}

TEST(LineControlOpen, aTerminalOpensWithItsSettingsUntouchedAndNotHeldFromOthers) {
    PtyPair pty;
    UniqueFd other(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(other.valid());
    // Settings no open would choose: the line control must leave them exactly so.
    termios before{};
    ASSERT_EQ(::tcgetattr(other.get(), &before), 0);
    ::cfmakeraw(&before);
    before.c_cflag &= ~HUPCL;
    ASSERT_EQ(::cfsetspeed(&before, B2400), 0);
    ASSERT_EQ(::tcsetattr(other.get(), TCSANOW, &before), 0);
    ASSERT_EQ(::tcgetattr(other.get(), &before), 0);

    auto control = makePlatformLineControl();
    ASSERT_EQ(control->open(pty.slavePath()), 0);
    EXPECT_TRUE(control->isOpen());
    control->set(ModemLine::Rts, true);
    control->set(ModemLine::Dtr, false);

    termios after{};
    ASSERT_EQ(::tcgetattr(other.get(), &after), 0);
    EXPECT_EQ(std::memcmp(&before, &after, sizeof before), 0);
    // Another program can still open and lock the port while the line is held.
    UniqueFd third(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    EXPECT_TRUE(third.valid()) << std::strerror(errno);
    EXPECT_EQ(::flock(third.get(), LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
    control->close();
    EXPECT_FALSE(control->isOpen());
}

TEST(LineControlDrive, aPseudoTerminalHasNoModemLinesAndSaysSo) {
    PtyPair pty;
    auto control = makePlatformLineControl();
    ASSERT_EQ(control->open(pty.slavePath()), 0);
    EXPECT_EQ(control->set(ModemLine::Rts, true), kNoModemLines);
    EXPECT_EQ(control->set(ModemLine::Dtr, false), kNoModemLines);

    SerialInhibitLine line(makePlatformLineControl(),
                           InhibitLineChoice{pty.slavePath(), ModemLine::Dtr, false});
    EXPECT_EQ(line.assertLine(), pty.slavePath() + " DTR: " + lineErrorReason(kNoModemLines));
}

TEST(LineControlDrive, aTerminalThatHungUpIsReportedAsGone) {
    PtyPair pty;
    SerialInhibitLine line(makePlatformLineControl(),
                           InhibitLineChoice{pty.slavePath(), ModemLine::Rts, true});
    EXPECT_THAT(line.assertLine(), HasSubstr("no RTS or DTR"));
    pty.hangUp();
    EXPECT_THAT(line.releaseLine(), HasSubstr(pty.slavePath() + " RTS: input/output error"));
}

}  // namespace
}  // namespace kt6
