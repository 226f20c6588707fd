// The radio's connection error box: its text and reason, once a run, and the status poll
// going on while it is up, whichever way it was opened.
#include <QAction>
#include <QCoreApplication>
#include <QTest>
#include <cerrno>

#include "console/status/status_bar.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

constexpr const char* kBoxText = "Error connecting to the radio - Check Cat Radio > Config Radio\n";

class RadioErrorBoxTest : public WindowFixture {
  protected:
    // The window on its own poll timer; while a box is up, the status requests that go out
    // under it are counted.
    void startPolling() {
        countPollsUnderBoxes();
        ConsoleOptions options = baseOptions();
        options.runPollTimer = true;
        start(std::move(options));
    }
    void waitForOnline() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return window->poll().ControllerOnline(); }, 5000));
    }
    void waitForTheBox() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->messages.empty(); }, 5000));
    }
    void expectOneBox(const QString& reason) {
        ASSERT_EQ(dialogs->messages.size(), 1u);
        EXPECT_EQ(dialogs->messages[0], QString::fromLatin1(kBoxText) + reason);
        EXPECT_EQ(dialogs->titles[0], "Skarnel Utility");
        EXPECT_GE(pollsUnderTheBox, 3u);
    }
};

TEST_F(RadioErrorBoxTest, configRadioWithAServerThatCannotStartLeavesThePollRunning) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    rigServer.connectSucceeds = false;
    startPolling();
    waitForOnline();
    item("ConfigRadio1")->trigger();
    waitForTheBox();
    expectOneBox("fake server refused");
    // The settings dialog still opens, so the operator can repair them; no second box.
    EXPECT_EQ(rigServer.dialogsShown, 1);
    item("ConfigRadio1")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 1u);
}

TEST_F(RadioErrorBoxTest, aRadioChosenInTheMenuThatCannotBeReachedLeavesThePollRunning) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    rigServer.status[0] = RigStatus::NotResponding;
    rigServer.reason[0] = "localhost:4534: connection refused";
    startPolling();
    waitForOnline();
    item("Radio1")->trigger();
    waitForTheBox();
    expectOneBox("localhost:4534: connection refused");
}

TEST_F(RadioErrorBoxTest, aPortChosenInTheMenuBringsTheBoxWithoutHoldingThePoll) {
    writeSettings(
        "[General]\nSerialport=2\n[Ports]\nCOM1=/dev/ttyS0\nCOM2=/dev/ttyUSB0\n"
        "[OmniRig]\nRig1=1\nRig2=0\n");
    wire.openResult = [](const std::string& path) { return path == "/dev/ttyUSB0" ? ENOENT : 0; };
    rigServer.status[0] = RigStatus::NotResponding;
    rigServer.reason[0] = "localhost:4534: connection refused";
    startPolling();
    EXPECT_FALSE(window->poll().ControllerOnline());
    item("com1")->trigger();
    waitForOnline();
    waitForTheBox();
    expectOneBox("localhost:4534: connection refused");
}

}  // namespace
}  // namespace kt6
