// The window against a scripted controller: what it shows, and what goes out on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "console/colours.h"
#include "console/dialogs.h"
#include "console/fm_main.h"
#include "console/panel/key_button.h"
#include "console/panel/lamp.h"
#include "console/setup/setup_panel.h"
#include "console/status/status_bar.h"
#include "link/comm32.h"
#include "memory/profile_file.h"
#include "sim/simulated_serial_backend.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

class ConsoleWindowTest : public testing::WindowFixture {
  protected:
    using WindowFixture::start;
    // On another serial layer than the scripted controller.
    void start(std::function<std::unique_ptr<SerialBackend>()> serial) {
        ConsoleOptions options = baseOptions();
        options.makeSerialBackend = std::move(serial);
        start(std::move(options));
    }
    std::vector<int> checkedPorts() {
        std::vector<int> out;
        const char* names[] = {"com1", "com2", "com3",  "com4",  "COM5",  "COM6", "COM7",
                               "COM8", "COM9", "COM10", "COM11", "COM12", "COM13"};
        for (int i = 0; i < 13; ++i) {
            if (item(names[i])->isChecked()) out.push_back(i + 1);
        }
        return out;
    }
};

TEST_F(ConsoleWindowTest, windowHasTheFixedClientAreaCaptionAndNamedControls) {
    start();
    EXPECT_EQ(window->windowTitle(), "SkarNel KT-6");
    EXPECT_EQ(window->centralWidget()->size(), QSize(623, 330));
    for (const char* name : {"pnBlue",        "pnDisplay",
                             "lFreq",         "lBanda",
                             "Heading",       "moving",
                             "BLED_ON1",      "SpeedButton1",
                             "SpeedButton12", "SpeedButton14",
                             "Chiudi",        "BPower_ON",
                             "ld180",         "ldBidir",
                             "ldMove",        "lMove",
                             "l180",          "lBidir",
                             "lStatus",       "ldTX",
                             "ldRX",          "ckOmni1",
                             "ckOmni2",       "Panel_Chiuso",
                             "COM_VERIFY",    "Panel_Elem_Retract",
                             "Button1",       "Button4",
                             "btImposta",     "btRetract",
                             "btRicevi",      "btInvia",
                             "cbSlave",       "ckSK2200",
                             "lResult",       "mmLog"}) {
        EXPECT_TRUE(window->findChild<QObject*>(name)) << name;
    }
    EXPECT_EQ(item("COM13")->text(), "COM13");
    EXPECT_EQ(find("pnDisplay")->geometry(), QRect(72, 96, 289, 153));
    EXPECT_EQ(find("SpeedButton7")->geometry(), QRect(224, 280, 41, 41));
}

TEST_F(ConsoleWindowTest, noSettingsFileOpensCom1FollowsNoRadioAndSavesOnceAnswered) {
    start();
    EXPECT_EQ(wire.openedPath, defaultComDevice(1));
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});
    EXPECT_FALSE(find<QCheckBox>("ckOmni1")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("ckOmni2")->isChecked());
    EXPECT_TRUE(item("NoRadio1")->isChecked());
    EXPECT_EQ(text("lStatus"), "Stato: in connessione...");
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    window->close();
    ProfileFile saved(settingsPath());
    EXPECT_EQ(saved.readString("General", "Serialport", ""), "1");
    EXPECT_EQ(saved.readString("OmniRig", "Rig1", ""), "0");
    EXPECT_EQ(saved.readString("OmniRig", "Rig2", ""), "0");
}

TEST_F(ConsoleWindowTest, startUpPressesKey13First) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    start();
    // The port is not open yet when the start-up key goes out: nothing reaches the line.
    EXPECT_TRUE(controller.received.empty());
    EXPECT_TRUE(window->link().exchangesEnabled());
    EXPECT_TRUE(item("NoRadio1")->isChecked());
}

struct RigRow {
    const char* name;
    const char* settings;
    bool rig1, rig2, noRadio;
};

class RigChoiceTest : public ConsoleWindowTest, public ::testing::WithParamInterface<RigRow> {};

TEST_P(RigChoiceTest, settingsGiveTheRigChoice) {
    writeSettings(GetParam().settings);
    start();
    EXPECT_EQ(find<QCheckBox>("ckOmni1")->isChecked(), GetParam().rig1);
    EXPECT_EQ(find<QCheckBox>("ckOmni2")->isChecked(), GetParam().rig2);
    EXPECT_EQ(item("NoRadio1")->isChecked(), GetParam().noRadio);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RigChoiceTest,
    ::testing::Values(RigRow{"missing", "", false, false, true},
                      RigRow{"rig1", "[OmniRig]\nRig1=1\nRig2=0\n", true, false, false},
                      RigRow{"rig2", "[OmniRig]\nRig1=0\nRig2=1\n", false, true, false},
                      RigRow{"none", "[OmniRig]\nRig1=0\nRig2=0\n", false, false, true},
                      RigRow{"both", "[OmniRig]\nRig1=1\nRig2=1\n", false, true, false}),
    [](const ::testing::TestParamInfo<RigRow>& row) { return std::string(row.param.name); });

TEST_F(ConsoleWindowTest, portOutsideTheMenuOpensItsDeviceWithNoItemChecked) {
    writeSettings("[General]\nSerialport=20\n");
    start();
    EXPECT_EQ(wire.openedPath, defaultComDevice(20));
    EXPECT_TRUE(checkedPorts().empty());
}

TEST_F(ConsoleWindowTest, portZeroFailsSilently) {
    wire.openResult = [](const std::string& path) { return path.starts_with("/dev/") ? 0 : 2; };
    writeSettings("[General]\nSerialport=0\n");
    start();
    EXPECT_FALSE(wire.open);
    EXPECT_TRUE(checkedPorts().empty());
    EXPECT_EQ(text("lStatus"), "Stato: non connesso");
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(ConsoleWindowTest, portMapInSettingsChoosesTheDevice) {
    writeSettings("[General]\nSerialport=3\n[Ports]\nCOM3=/dev/ttyUSB0\n");
    start();
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(item("com3")->statusTip(), "/dev/ttyUSB0");
    EXPECT_EQ(item("com4")->statusTip(), QString::fromStdString(defaultComDevice(4)));
}

TEST_F(ConsoleWindowTest, portNumberTooLargeForAnIntegerIsNotWrappedAround) {
    writeSettings("[General]\nSerialport=4294967297\n");
    start();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});
    EXPECT_EQ(wire.openedPath, defaultComDevice(1));
}

TEST_F(ConsoleWindowTest, nonNumericPortIsReportedAndCom1Used) {
    writeSettings("[General]\nSerialport=abc\n[OmniRig]\nRig1=1\nRig2=0\n");
    start();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].contains("abc"));
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});
    EXPECT_TRUE(wire.open);
    EXPECT_TRUE(find<QCheckBox>("ckOmni1")->isChecked());
}

TEST_F(ConsoleWindowTest, closingBeforeAnAnswerKeepsThePortButWritesTheRigs) {
    writeSettings("[General]\nSerialport=2\n[OmniRig]\nRig1=1\nRig2=0\n");
    controller.answering = false;
    start();
    pollTwice();
    window->close();
    ProfileFile saved(settingsPath());
    EXPECT_EQ(saved.readString("General", "Serialport", ""), "2");
    EXPECT_EQ(saved.readString("OmniRig", "Rig1", ""), "1");
    EXPECT_EQ(saved.readString("OmniRig", "Rig2", ""), "0");
}

TEST_F(ConsoleWindowTest, settingsFileThatIsNotTextIsReportedOnceRunsOnDefaultsAndIsKept) {
    const std::string before = std::string("[General]\nSerialport=3\n\0\n", 25) +
                               "[Ports]\nCOM3=/dev/ttyUSB0\n[OmniRig]\nRig1=1\nRig2=0\n; mine\n";
    {
        QFile f(QString::fromStdString(settingsPath().string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(before.data(), static_cast<qint64>(before.size()));
    }
    start();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].contains("NUL")) << dialogs->messages[0].toStdString();
    EXPECT_TRUE(dialogs->messages[0].contains(QString::fromStdString(settingsPath().string())));
    // The defaults: COM1 on its own device, no radio followed.
    EXPECT_EQ(wire.openedPath, defaultComDevice(1));
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});
    EXPECT_FALSE(find<QCheckBox>("ckOmni1")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("ckOmni2")->isChecked());
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    window->close();
    EXPECT_EQ(dialogs->messages.size(), 1u) << "told once, not again at close";
    QFile f(QString::fromStdString(settingsPath().string()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(), before);
}

TEST_F(ConsoleWindowTest, closeChangesOnlyTheLinesOfItsOwnKeys) {
    writeSettings(
        "; my station\r\n[General]\r\nSerialport = 2\r\n\r\n[Ports]\r\nCOM2=/dev/pts/4\r\n"
        "[Mine]\r\nnote=keep me\r\n[OmniRig]\r\nRig2=0\r\nRig1=1\r\n");
    start();
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    find<QCheckBox>("ckOmni2")->setChecked(true);
    find<QCheckBox>("ckOmni1")->setChecked(false);
    window->close();
    QFile f(QString::fromStdString(settingsPath().string()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().toStdString(),
              "; my station\r\n[General]\r\nSerialport = 2\r\n\r\n[Ports]\r\nCOM2=/dev/pts/4\r\n"
              "[Mine]\r\nnote=keep me\r\n[OmniRig]\r\nRig2=1\r\nRig1=0\r\n");
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(ConsoleWindowTest, statusReplyFillsTheDisplayAndTheLampFollowsNextTick) {
    start();
    pollTwice();
    EXPECT_EQ(text("lFreq"),
              QStringLiteral("07") + QLocale().decimalPoint() + QStringLiteral("157 Mhz"));
    EXPECT_EQ(text("lBanda"), "Banda 40m (default)");
    EXPECT_EQ(text("Heading"), "Heading: normal ->");
    EXPECT_EQ(text("lStatus"), "OK Vrenk v1.13 DRVs=3");
    EXPECT_TRUE(find("btRetract")->isEnabled());
    EXPECT_TRUE(find("btImposta")->isEnabled());
    window->tmPollTimer();
    EXPECT_TRUE(shown("BLED_ON1"));
    EXPECT_EQ(find("BLED_ON1")->pos(), find("SpeedButton5")->pos());
    EXPECT_TRUE(shown("pnDisplay"));
    EXPECT_TRUE(shown("BPower_ON"));
}

TEST_F(ConsoleWindowTest, frequencyZeroShowsTheRetractedPanel) {
    controller.record.frequency = 0;
    start();
    pollTwice();
    window->tmPollTimer();
    EXPECT_TRUE(shown("Panel_Elem_Retract"));
    EXPECT_FALSE(shown("pnDisplay"));
    EXPECT_FALSE(shown("BLED_ON1"));
}

TEST_F(ConsoleWindowTest, headingTwoPaintsBiDirAndThreeChangesNothing) {
    controller.record.heading = 2;
    start();
    pollTwice();
    EXPECT_EQ(text("Heading"), "Heading: <- Bi-Dir ->");
    EXPECT_EQ(find<Lamp>("ldBidir")->colour(), NamedColour::clRed);
    EXPECT_EQ(window->poll().HeadingMode(), 1);
    // Each reply is built when its request arrives: two ticks bring the new state.
    controller.record.heading = 3;
    pollTwice();
    EXPECT_EQ(text("Heading"), "Heading: <- Bi-Dir ->");
    EXPECT_EQ(find<Lamp>("ldBidir")->colour(), NamedColour::clRed);
    controller.record.heading = 1;
    pollTwice();
    EXPECT_EQ(text("Heading"), QString::fromUtf8("Heading: <-180\u00B0"));
    EXPECT_EQ(find<Lamp>("ld180")->colour(), NamedColour::clLime);
    EXPECT_EQ(find<Lamp>("ldBidir")->colour(), NamedColour::clMaroon);
}

TEST_F(ConsoleWindowTest, displayOffAndCustomFlags) {
    controller.record.flags = 0x0102;
    start();
    pollTwice();
    EXPECT_EQ(backgroundOf(find("pnDisplay")), toQColor(NamedColour::clBlack));
    EXPECT_FALSE(shown("BPower_ON"));
    EXPECT_EQ(text("lBanda"), "Banda 40m (custom)");
    controller.record.flags = 0;
    pollTwice();
    EXPECT_EQ(backgroundOf(find("pnDisplay")), toQColor(NamedColour::clMoneyGreen));
    EXPECT_TRUE(shown("BPower_ON"));
}

TEST_F(ConsoleWindowTest, bandIndexBeyondTheTableReadsUnknown) {
    controller.record.band = 11;
    start();
    pollTwice();
    EXPECT_EQ(text("lBanda"), "Banda ? (default)");
}

TEST_F(ConsoleWindowTest, bandKeySendsItsCodeThen13AndLightsAtOnce) {
    start();
    controller.received.clear();
    click("SpeedButton7");
    EXPECT_EQ(controller.keys(), (std::vector<int>{5, 13}));
    EXPECT_TRUE(shown("BLED_ON1"));
    EXPECT_EQ(find("BLED_ON1")->pos(), find("SpeedButton7")->pos());
    // The lit key now lies over it: a second click reaches the lamp.
    controller.received.clear();
    click("BLED_ON1");
    EXPECT_EQ(controller.keys(), std::vector<int>{77});
    EXPECT_EQ(find("BLED_ON1")->pos(), find("SpeedButton7")->pos());
}

TEST_F(ConsoleWindowTest, otherKeysSendTheirCodeOnlyAndLeaveTheLamp) {
    start();
    tick(2);  // the display on: the lit power key is up, and a hidden key would not act
    ASSERT_TRUE(shown("BPower_ON"));
    controller.received.clear();
    const QPoint lamp = find("BLED_ON1")->pos();
    for (const char* name :
         {"SpeedButton10", "SpeedButton11", "SpeedButton12", "Chiudi", "BPower_ON"}) {
        click(name);
    }
    EXPECT_EQ(controller.keys(), (std::vector<int>{10, 11, 9, 12, 12}));
    EXPECT_EQ(find("BLED_ON1")->pos(), lamp);
}

// A direction lamp that is out looks out: no bright heart, only dark glass, and far darker than
// the same lamp lit.
TEST_F(ConsoleWindowTest, directionLampsThatAreOffLookDarkAndLitOnesBright) {
    const auto brightest = [&](const char* name) {
        const QImage picture = find(name)->grab().toImage();
        int most = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                most = std::max(most, QColor(picture.pixel(x, y)).value());
        return most;
    };
    controller.record.heading = 0;  // normal: both lamps off
    start();
    tick(2);
    ASSERT_FALSE(find<Lamp>("ld180")->lit());
    ASSERT_FALSE(find<Lamp>("ldBidir")->lit());
    const int off180 = brightest("ld180");
    const int offBidir = brightest("ldBidir");
    EXPECT_LT(off180, 120);
    EXPECT_LT(offBidir, 120);
    controller.record.heading = 2;  // bi-directional
    tick(2);
    ASSERT_TRUE(find<Lamp>("ldBidir")->lit());
    EXPECT_GT(brightest("ldBidir"), 2 * offBidir);
    controller.record.heading = 1;
    tick(2);
    ASSERT_TRUE(find<Lamp>("ld180")->lit());
    EXPECT_GT(brightest("ld180"), 2 * off180);
}

TEST_F(ConsoleWindowTest, hiddenKeysStillLeaveLampAndPowerClickable) {
    start();
    pollTwice();  // the display is on: the lit power key shows
    click("SpeedButton6");
    controller.received.clear();
    click("Button2");
    EXPECT_FALSE(shown("SpeedButton1"));
    EXPECT_FALSE(shown("Chiudi"));
    EXPECT_TRUE(shown("BPower_ON"));
    EXPECT_TRUE(shown("BLED_ON1"));
    click("BPower_ON");
    click("BLED_ON1");
    EXPECT_EQ(controller.keys(), (std::vector<int>{12, 77}));
    click("Button3");
    EXPECT_TRUE(shown("SpeedButton1"));
    EXPECT_TRUE(shown("SpeedButton9"));
}

TEST_F(ConsoleWindowTest, bandKeyLightsEvenWhileRetractedUntilThePollHidesIt) {
    controller.record.frequency = 0;
    start();
    pollTwice();
    window->tmPollTimer();
    ASSERT_FALSE(shown("BLED_ON1"));
    click("SpeedButton1");
    EXPECT_TRUE(shown("BLED_ON1"));
    EXPECT_EQ(find("BLED_ON1")->pos(), find("SpeedButton1")->pos());
    window->tmPollTimer();
    EXPECT_FALSE(shown("BLED_ON1"));
}

TEST_F(ConsoleWindowTest, keyboardCannotReachTheHiddenControls) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=1\n");
    start();
    showActive();
    auto target = [&]() -> QWidget* {
        QWidget* focus = QApplication::focusWidget();
        return focus ? focus : window.get();
    };
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(target(), Qt::Key_Space);
        QTest::keyClick(target(), Qt::Key_Tab);
    }
    EXPECT_TRUE(find<QCheckBox>("ckOmni2")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("ckOmni1")->isChecked());
    EXPECT_TRUE(shown("SpeedButton1"));
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});
}

TEST_F(ConsoleWindowTest, failedPortFromTheMenuShowsTheClosedScreenExceptForCom1) {
    start();
    pollTwice();
    wire.openResult = [](const std::string&) { return 2; };
    window->SelectPort(2);
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_EQ(checkedPorts(), std::vector<int>{2});
    EXPECT_EQ(text("lStatus"), "Stato: non connesso (porta chiusa).");
    EXPECT_FALSE(find("btRetract")->isEnabled());
    EXPECT_TRUE(shown("Panel_Chiuso"));
    EXPECT_TRUE(shown("COM_VERIFY"));
    EXPECT_TRUE(text("lPortError").contains(QString::fromStdString(defaultComDevice(2))))
        << text("lPortError").toStdString();
    EXPECT_FALSE(window->poll().ControllerOnline());

    window->SelectPort(1);
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});
    EXPECT_TRUE(shown("COM_VERIFY"));  // COM1's failure leaves the earlier screen as it was

    // A working port clears the closed screen at once; buttons return with the next reply.
    wire.openResult = nullptr;
    window->SelectPort(4);
    EXPECT_FALSE(shown("Panel_Chiuso"));
    EXPECT_FALSE(shown("COM_VERIFY"));
    EXPECT_EQ(text("lStatus"), "Stato: in connessione...");
    EXPECT_EQ(checkedPorts(), std::vector<int>{4});
    pollTwice();
    EXPECT_TRUE(find("btRetract")->isEnabled());
}

TEST_F(ConsoleWindowTest, com1FailureShowsNoClosedScreen) {
    start();
    wire.openResult = [](const std::string&) { return 13; };
    window->SelectPort(1);
    EXPECT_FALSE(shown("Panel_Chiuso"));
    EXPECT_FALSE(shown("pnDisplay"));
    EXPECT_EQ(text("lStatus"), "Stato: non connesso (porta chiusa).");
}

TEST_F(ConsoleWindowTest, reselectingThePortInUseReopensItAndGoesOfflineUntilTheNextReply) {
    start();
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    const int opens = wire.openCount;
    controller.received.clear();
    window->SelectPort(1);
    EXPECT_EQ(wire.openCount, opens + 1);
    EXPECT_FALSE(window->poll().ControllerOnline());
    EXPECT_EQ(text("lStatus"), "Stato: in connessione...");
    EXPECT_EQ(controller.keys(), std::vector<int>{13});
    pollTwice();
    EXPECT_TRUE(window->poll().ControllerOnline());
}

TEST_F(ConsoleWindowTest, aLostDeviceIsClosedAndReopenedEveryTwoSecondsUntilItIsBack) {
    writeSettings("[Ports]\nCOM1=/dev/ttyUSB0\n");
    start();
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    ASSERT_TRUE(find("btRetract")->isEnabled());
    EXPECT_FALSE(window->portLost());

    wire.unplug();
    window->tmPollTimer();
    EXPECT_FALSE(wire.open);
    EXPECT_TRUE(window->portLost());
    EXPECT_EQ(window->consoleStatusBar()->linkText(), "COM1: device lost, retrying");
    EXPECT_FALSE(window->poll().ControllerOnline());
    for (const char* name : {"btRicevi", "btInvia", "btImposta", "btRetract"}) {
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    }
    EXPECT_EQ(text("lStatus"), "Stato: in connessione...");
    // Quietly: no message box, no closed-port screen, the port item stays checked.
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_FALSE(shown("COM_VERIFY"));
    EXPECT_EQ(checkedPorts(), std::vector<int>{1});

    // A key while the device is gone gives up at once: no wait, nothing written.
    const auto written = wire.written.size();
    const int waits = wire.waitCalls;
    window->SendKey(5);
    EXPECT_EQ(wire.waitCalls, waits);
    EXPECT_EQ(wire.written.size(), written);

    // Every 2 s, one attempt on the same mapping; link ticks try nothing.
    const RepeatingTimer* retry = &window->retryTimer();
    EXPECT_TRUE(retry->active());
    EXPECT_EQ(retry->interval(), std::chrono::milliseconds(2000));
    const int opens = wire.openCount;
    const int attempts = wire.openAttempts;
    wire.openedPath.clear();
    for (int tick = 0; tick < 100; ++tick) window->tmTimerTimer();
    EXPECT_EQ(wire.openAttempts, attempts);
    window->tmRetryTimer();
    EXPECT_EQ(wire.openAttempts, attempts + 1);
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    window->tmRetryTimer();
    window->tmRetryTimer();
    EXPECT_EQ(wire.openAttempts, attempts + 3);
    EXPECT_EQ(wire.openCount, opens);
    EXPECT_TRUE(window->portLost());
    EXPECT_TRUE(retry->active());

    // The device returns: the next attempt opens it and the poll brings the link back.
    wire.plugIn();
    window->tmRetryTimer();
    EXPECT_FALSE(retry->active());
    EXPECT_EQ(wire.openCount, opens + 1);
    EXPECT_TRUE(wire.open);
    EXPECT_FALSE(window->portLost());
    EXPECT_EQ(wire.configureCount, 2);
    pollTwice();
    EXPECT_TRUE(window->poll().ControllerOnline());
    EXPECT_TRUE(window->consoleStatusBar()->linkText().startsWith("COM1 online"))
        << window->consoleStatusBar()->linkText().toStdString();
    EXPECT_TRUE(find("btRetract")->isEnabled());
    EXPECT_TRUE(dialogs->messages.empty());
}

TEST_F(ConsoleWindowTest, aDeviceLostAndBackUnderTheOpenSetupPanelKeepsThePollStoppedUntilChiudi) {
    ConsoleOptions options = transferOptions();
    options.runPollTimer = true;
    start(std::move(options));
    controller.replyData[5] = Bytes(108, 0);
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    click("btImposta");
    settle();
    ASSERT_FALSE(find("pnImposta")->isHidden());
    ASSERT_FALSE(window->pollTimer().active());

    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    wire.plugIn();
    controller.received.clear();
    window->tmRetryTimer();
    ASSERT_FALSE(window->portLost());
    QCoreApplication::processEvents();
    // Reopened quietly: no poll, no status request, nothing re-enabled under the panel.
    EXPECT_FALSE(window->pollTimer().active());
    EXPECT_TRUE(controller.commands(1).empty());
    for (const char* name : {"btImposta", "btRetract"}) {
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    }
    // Nothing asked, nothing said: the field does not call it online.
    EXPECT_EQ(window->consoleStatusBar()->linkText(), "COM1: device back, no answer yet");

    click("btChiudi");
    EXPECT_TRUE(window->pollTimer().active());
    pollTwice();
    EXPECT_TRUE(window->poll().ControllerOnline());
    EXPECT_TRUE(window->consoleStatusBar()->linkText().startsWith("COM1 online"));
    EXPECT_TRUE(find("btImposta")->isEnabled());
}

TEST_F(ConsoleWindowTest,
       aBackupCutByALostDeviceFailsWhereItWasAndLeavesTheLinkButtonsOffTillItIsBack) {
    start(transferOptions());
    controller.replyData[5] = Bytes(108, 0);
    pollTwice();
    const auto backup = dir.filePath("kt6.skarnel").toStdString();
    std::ofstream(backup, std::ios::binary) << "older\r\n";
    auto answer = wire.onWrite;
    wire.onWrite = [this, answer](const Bytes& bytes) {
        answer(bytes);
        if (controller.commands(5).size() == 12) wire.unplug();
    };
    click("btRicevi");
    settle();
    ASSERT_TRUE(window->portLost());
    const QString text = "Backup not saved: Useroffs10 (block 12) was cut off: the port closed";
    EXPECT_EQ(dialogs->messages, std::vector<QString>{text});
    EXPECT_EQ(window->consoleStatusBar()->eventText(), text);
    std::ifstream in(backup, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "older\r\n");
    EXPECT_TRUE(window->pollRunning());
    EXPECT_FALSE(window->setupPanel().transfer().running());
    // Nothing to save from or send to while the device is gone.
    for (const char* name : {"btRicevi", "btInvia", "btImposta", "btRetract"}) {
        EXPECT_FALSE(find(name)->isEnabled()) << name;
    }
    wire.onWrite = answer;
    wire.plugIn();
    window->tmRetryTimer();
    ASSERT_FALSE(window->portLost());
    pollTwice();
    for (const char* name : {"btRicevi", "btInvia", "btImposta", "btRetract"}) {
        EXPECT_TRUE(find(name)->isEnabled()) << name;
    }
}

TEST_F(ConsoleWindowTest, aRetryTickReopensTheDeviceEvenWhileWorkHoldsTheLink) {
    start();
    pollTwice();
    wire.unplug();
    window->tmPollTimer();
    ASSERT_TRUE(window->portLost());
    wire.plugIn();
    const int attempts = wire.openAttempts;
    {
        // A sequence waiting for the motors: the keys that end its wait need the port back.
        Link::Hold sequence(window->link());
        window->tmRetryTimer();
        EXPECT_EQ(wire.openAttempts, attempts + 1);
    }
    EXPECT_FALSE(window->portLost());
    EXPECT_TRUE(wire.open);
}

TEST_F(ConsoleWindowTest, choosingAPortFromTheMenuEndsTheRetrying) {
    start();
    pollTwice();
    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    ASSERT_FALSE(wire.open);
    wire.plugIn();
    window->SelectPort(2);
    EXPECT_FALSE(window->portLost());
    EXPECT_EQ(wire.openedPath, defaultComDevice(2));
    EXPECT_EQ(checkedPorts(), std::vector<int>{2});
    // Nothing goes back to the lost port afterwards.
    EXPECT_FALSE(window->retryTimer().active());
    const int opens = wire.openCount;
    window->tmRetryTimer();
    EXPECT_EQ(wire.openCount, opens);
    EXPECT_EQ(wire.openedPath, defaultComDevice(2));
    pollTwice();
    EXPECT_TRUE(window->poll().ControllerOnline());
}

TEST_F(ConsoleWindowTest, aFailedChoiceAfterALossEndsTheRetryingToo) {
    start();
    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    window->SelectPort(3);  // still unplugged: fails
    EXPECT_FALSE(window->portLost());
    EXPECT_TRUE(shown("COM_VERIFY"));
    wire.plugIn();
    EXPECT_FALSE(window->retryTimer().active());
    const int opens = wire.openCount;
    window->tmRetryTimer();
    EXPECT_EQ(wire.openCount, opens);
}

TEST_F(ConsoleWindowTest, failedPortIsNeverSaved) {
    writeSettings("[General]\nSerialport=3\n");
    start();
    wire.openResult = [](const std::string&) { return 2; };
    window->SelectPort(5);
    window->close();
    ProfileFile saved(settingsPath());
    EXPECT_EQ(saved.readString("General", "Serialport", ""), "3");
}

TEST_F(ConsoleWindowTest, frequencyBoxSendsOnlyAValidNumber) {
    start();
    controller.received.clear();
    auto* freq = find("lFreq");
    dialogs->answer.reset();  // cancelled
    QTest::mouseClick(freq, Qt::LeftButton);
    EXPECT_EQ(dialogs->inputs, 1);
    EXPECT_TRUE(controller.commands(3).empty());
    dialogs->answer = "70000";
    QTest::mouseClick(freq, Qt::LeftButton);
    dialogs->answer = "7.1";
    QTest::mouseClick(freq, Qt::LeftButton);
    EXPECT_TRUE(controller.commands(3).empty());
    EXPECT_EQ(dialogs->messages.size(), 2u);
    dialogs->answer = "14074";
    QTest::mouseClick(freq, Qt::LeftButton);
    auto sent = controller.commands(3);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0][0] & 0x80, 0x80);
    EXPECT_EQ(Bytes(sent[0].begin() + 2, sent[0].end()), (Bytes{0xFA, 0x36}));
}

TEST_F(ConsoleWindowTest, hiddenStripHandlers) {
    start();
    controller.received.clear();
    window->btRetractClick();
    settle();
    EXPECT_EQ(controller.codesBesidesStatus(), std::vector<int>{2});
    auto* box = find<QCheckBox>("ckSK2200");
    box->click();
    EXPECT_TRUE(find("cbSlave")->isEnabled());
    box->click();
    EXPECT_FALSE(find("cbSlave")->isEnabled());
}

TEST_F(ConsoleWindowTest, progressBarShowsTheReportedSixtieths) {
    start();
    auto* bar = find<QLabel>("lProgressFG");
    controller.replyData[10] = {1, 0, 30, 0};
    window->lProgressFGClick();
    settle();
    EXPECT_EQ(bar->width(), 201 * 30 / 60);
    controller.replyData[10] = {0, 0, 45, 0};
    window->lProgressFGClick();
    settle();
    EXPECT_EQ(bar->width(), 0);
    // No answer: the bar stays as it was.
    controller.replyData[10] = {1, 0, 60, 0};
    controller.answering = false;
    window->lProgressFGClick();
    settle();
    EXPECT_EQ(bar->width(), 0);
    EXPECT_EQ(controller.commands(10).back()[0] & 0x80, 0x80);
}

TEST_F(ConsoleWindowTest, missingManualIsReportedAndPresentOneOpened) {
    start();
    item("eng1")->trigger();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].contains("manual.pdf"));
    EXPECT_TRUE(dialogs->opened.empty());
    QFile f(dir.filePath("manuale.pdf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("%PDF-1.4\n");
    f.close();
    item("ita2")->trigger();
    ASSERT_EQ(dialogs->opened.size(), 1u);
    EXPECT_TRUE(dialogs->opened[0].toLocalFile().endsWith("manuale.pdf"));
}

TEST_F(ConsoleWindowTest, startUpRunsOnceOnly) {
    start();
    const int opens = wire.openCount;
    window->FormActivate();
    EXPECT_EQ(wire.openCount, opens);
}

TEST_F(ConsoleWindowTest, catRadioMenuChoosesTheRig) {
    start();
    item("Radio1")->trigger();
    EXPECT_TRUE(find<QCheckBox>("ckOmni1")->isChecked());
    EXPECT_FALSE(find<QCheckBox>("ckOmni2")->isChecked());
    EXPECT_TRUE(item("Radio1")->isChecked());
    EXPECT_FALSE(item("Radio21")->isChecked());
    item("NoRadio1")->trigger();
    EXPECT_FALSE(find<QCheckBox>("ckOmni1")->isChecked());
    EXPECT_TRUE(item("NoRadio1")->isChecked());
    EXPECT_FALSE(item("Radio1")->isChecked());
}

TEST_F(ConsoleWindowTest, followedRigRetunesTheAntennaOnceTheControllerAnswers) {
    writeSettings("[OmniRig]\nRig1=1\nRig2=0\n");
    rigServer.set(1, 14'074'000.0);
    start();
    pollTwice();
    ASSERT_TRUE(window->poll().ControllerOnline());
    window->tmPollTimer();  // the poll that finds the controller online opens the rig client
    ASSERT_EQ(rigServer.connectCalls, 1);
    auto sent = controller.commands(3);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(Bytes(sent[0].begin() + 2, sent[0].end()), (Bytes{0xFA, 0x36}));
    EXPECT_EQ(backgroundOf(find("ckOmni1")), toQColor(NamedColour::clLime));
    EXPECT_TRUE(item("Radio1")->isChecked());
    rigServer.set(1, 7'199'999.0);
    rigServer.report(1);
    sent = controller.commands(3);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent[1].begin() + 2, sent[1].end()), (Bytes{0x1F, 0x1C}));
}

TEST_F(ConsoleWindowTest, rigServerThatCannotStartIsReportedOnce) {
    rigServer.connectSucceeds = false;
    writeSettings("[OmniRig]\nRig1=0\nRig2=1\n");
    start();
    pollTwice();
    window->tmPollTimer();
    window->tmPollTimer();
    // The box comes from the event loop, not from inside the tick.
    EXPECT_TRUE(dialogs->messages.empty());
    QCoreApplication::processEvents();
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0],
              "Error connecting to the radio - Check Cat Radio > Config Radio\n"
              "fake server refused");
    item("ConfigRadio1")->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(rigServer.dialogsShown, 1);
}

// The window against the simulated controller, in real time.
class SimulatedControllerTest : public ConsoleWindowTest {
  protected:
    void startOnSimulator() {
        writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
        start([] { return sim::makeSimulatedSerialBackend(); });
    }
    // Polls as the timer would until the display shows the text, or the deadline passes.
    bool pollUntil(const char* label, const QString& expected) {
        for (int i = 0; i < 50; ++i) {
            window->tmPollTimer();
            QTest::qWait(20);
            if (text(label) == expected) return true;
        }
        return false;
    }
};

TEST_F(SimulatedControllerTest, displayFollowsTheControllerAndItsKeys) {
    startOnSimulator();
    ASSERT_TRUE(pollUntil("lStatus", "OK Vrenk v1.13 DRVs=3"));
    EXPECT_TRUE(window->poll().ControllerOnline());
    EXPECT_EQ(text("lBanda"), "Banda 20m (default)");
    click("SpeedButton5");  // 40m
    ASSERT_TRUE(pollUntil("lBanda", "Banda 40m (default)"));
    EXPECT_TRUE(text("lFreq").startsWith("07"));
    window->tmPollTimer();
    EXPECT_EQ(find("BLED_ON1")->pos(), find("SpeedButton5")->pos());
    click("Chiudi");  // the power key turns the display off
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            window->tmPollTimer();
            QTest::qWait(20);
            return find("BPower_ON")->isHidden();
        },
        3000));
    EXPECT_EQ(backgroundOf(find("pnDisplay")), toQColor(NamedColour::clBlack));
}

}  // namespace
}  // namespace kt6
