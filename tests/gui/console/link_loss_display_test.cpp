// What the display says when the controller is not there: nothing blinks for a controller
// that is gone, and a saved port missing at start is waited for under the port prompt.
#include <QLabel>
#include <QTimer>
#include <cerrno>

#include "console/colours.h"
#include "console/panel/lamp.h"
#include "console/status/status_bar.h"
#include "link/comm32.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

class LinkLossDisplayTest : public WindowFixture {
  protected:
    // Whether "MOVING ELEMENTS....." or the Moving lamp shows at any step of a second of
    // link ticks (the blink changes every fifth).
    bool blinks() {
        bool seen = false;
        for (int i = 0; i < 20; ++i) {
            window->tmTimerTimer();
            seen = seen || shown("moving") || find<Lamp>("ldMove")->colour() != NamedColour::clGray;
        }
        return seen;
    }
    void startMoving() {
        controller.record.moving = true;
        start();
        tick(2);
        ASSERT_TRUE(window->poll().ControllerOnline());
        ASSERT_TRUE(blinks());
    }
};

TEST_F(LinkLossDisplayTest, aLostDeviceStopsTheBlinkUntilAReplySaysMovingAgain) {
    startMoving();
    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    EXPECT_FALSE(blinks());
    EXPECT_FALSE(shown("moving"));
    EXPECT_EQ(find<Lamp>("ldMove")->colour(), NamedColour::clGray);

    // Back, but nothing said yet: still unknown.
    wire.plugIn();
    window->tmRetryTimer();
    ASSERT_FALSE(window->portLost());
    EXPECT_FALSE(blinks());
    // The first reply says moving.
    tick(2);
    EXPECT_TRUE(blinks());
}

TEST_F(LinkLossDisplayTest, aReplyReadJustBeforeTheLossDoesNotSayTheDeviceIsBack) {
    start();
    tick(2);
    ASSERT_TRUE(window->poll().ControllerOnline());
    window->tmPollTimer();   // a request goes out
    window->tmTimerTimer();  // its reply is read, kept for the next poll tick
    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    window->tmPollTimer();
    EXPECT_EQ(window->consoleStatusBar()->linkText(), "COM1: device lost, retrying");
    EXPECT_FALSE(window->poll().ControllerOnline());
}

TEST_F(LinkLossDisplayTest, aSilentControllerStopsTheBlinkAndAReplyThatSaysStoppedKeepsItOff) {
    startMoving();
    controller.answering = false;
    tick(4);
    EXPECT_FALSE(blinks());
    // Long enough to count as offline.
    tick(40);
    ASSERT_FALSE(window->poll().ControllerOnline());
    EXPECT_FALSE(blinks());

    controller.answering = true;
    controller.record.moving = false;
    tick(2);
    ASSERT_TRUE(window->poll().ControllerOnline());
    EXPECT_FALSE(blinks());
    controller.record.moving = true;
    tick(2);
    EXPECT_TRUE(blinks());
}

TEST_F(LinkLossDisplayTest, aSavedPortMissingAtStartIsRetriedEveryTwoSecondsUnderThePrompt) {
    writeSettings(
        "[General]\nSerialport=2\n[Ports]\nCOM2=/dev/ttyUSB0\n[OmniRig]\nRig1=0\nRig2=0\n");
    wire.openResult = [](const std::string&) { return ENOENT; };
    start();
    EXPECT_EQ(link(), "COM2: /dev/ttyUSB0: no such device, retrying");
    EXPECT_TRUE(shown("Panel_Chiuso"));
    EXPECT_TRUE(shown("COM_VERIFY"));
    EXPECT_EQ(text("Label_SelectPort"), "SELECT THE VALID PORT");
    EXPECT_TRUE(window->portLost());
    EXPECT_TRUE(window->retryTimer().active());
    EXPECT_EQ(window->retryTimer().interval(), std::chrono::milliseconds(2000));

    // Still missing: one more attempt each time, and nothing changes.
    const int attempts = wire.openAttempts;
    window->tmRetryTimer();
    EXPECT_EQ(wire.openAttempts, attempts + 1);
    tick(2);
    EXPECT_EQ(link(), "COM2: /dev/ttyUSB0: no such device, retrying");
    EXPECT_TRUE(shown("COM_VERIFY"));

    // Plugged in: opened on the next attempt, the prompt goes, and the controller answers.
    wire.openResult = nullptr;
    window->tmRetryTimer();
    EXPECT_TRUE(wire.open);
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    EXPECT_FALSE(window->retryTimer().active());
    EXPECT_FALSE(shown("COM_VERIFY"));
    EXPECT_FALSE(shown("Panel_Chiuso"));
    EXPECT_EQ(link(), "COM2: no answer");
    EXPECT_EQ(text("lStatus"), "Stato: in connessione...");
    settle();
    // Key 13 returns the controller to its display, as a choice from the menu does.
    EXPECT_EQ(controller.keys(), std::vector<int>{13});
    tick(2);
    EXPECT_TRUE(window->poll().ControllerOnline());
    EXPECT_EQ(link(), "COM2 online, firmware 1.13, 3 drivers");
}

TEST_F(LinkLossDisplayTest, aPortRefusedAtStartIsNotRetriedButTold) {
    writeSettings("[General]\nSerialport=2\n[Ports]\nCOM2=/dev/ttyUSB0\n");
    wire.openResult = [](const std::string&) { return EACCES; };
    start();
    EXPECT_EQ(link(),
              "COM2 closed: /dev/ttyUSB0: permission denied (add yourself to the dialout group)");
    EXPECT_FALSE(window->retryTimer().active());
    EXPECT_FALSE(window->portLost());
}

TEST_F(LinkLossDisplayTest, choosingAPortEndsTheWaitForTheMissingOne) {
    writeSettings("[General]\nSerialport=2\n[Ports]\nCOM2=/dev/ttyUSB0\nCOM1=/dev/ttyS0\n");
    wire.openResult = [](const std::string& path) { return path == "/dev/ttyUSB0" ? ENOENT : 0; };
    start();
    ASSERT_TRUE(window->retryTimer().active());
    window->SelectPort(1);
    EXPECT_FALSE(window->retryTimer().active());
    EXPECT_FALSE(shown("COM_VERIFY"));
    EXPECT_EQ(wire.openedPath, "/dev/ttyS0");
    wire.openResult = nullptr;
    const int opens = wire.openCount;
    window->tmRetryTimer();
    EXPECT_EQ(wire.openCount, opens);
}

}  // namespace
}  // namespace kt6
