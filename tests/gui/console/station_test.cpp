// The station's outputs in the window: the "Inhibit" section read and saved in place, the line
// and hook they name driven on fakes, the Test pulse on a fake clock, the "Station..." dialog's
// controls and saving, and its item in the "Com port" menu.
#include <gmock/gmock.h>
#ifdef _WIN32
#include <windows.h>
#endif
#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#include "console/ports/port_menu.h"
#include "console/station/station_dialog.h"
#include "console/station/station_outputs.h"
#include "console/station/station_settings.h"
#include "link/comm32.h"
#include "link/link.h"
#include "memory/profile_file.h"
#include "support/fake_clock.h"
#include "support/fake_hook_launcher.h"
#include "support/fake_line_control.h"
#include "support/fake_serial.h"

namespace kt6 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakeHookLauncher;
using testing::FakeHookState;
using testing::FakeLineControl;
using testing::FakeLineState;

class StationTest : public ::testing::Test {
  protected:
    std::filesystem::path settingsPath() const {
        return std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
    }
    void writeSettings(const QByteArray& text) {
        QFile f(QString::fromStdString(settingsPath().string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QByteArray settingsText() const {
        QFile f(QString::fromStdString(settingsPath().string()));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll();
    }
    // The outputs on the fakes, loaded from the settings file as it is now.
    StationOutputs& start() {
        station = std::make_unique<StationOutputs>(StationContext{
            settingsPath(), scheduler, [this] { return std::make_unique<FakeLineControl>(line); },
            [this] { return std::make_unique<FakeHookLauncher>(hooks); }});
        QObject::connect(station.get(), &StationOutputs::failed,
                         [this](const QString& text) { failures.push_back(text); });
        station->reload();
        return *station;
    }
    std::vector<std::string> lineLog() { return std::exchange(line.log, {}); }
    StationDialog* openDialog() {
        station->openDialog(nullptr);
        StationDialog* dialog = station->dialog();
        EXPECT_TRUE(dialog && dialog->isVisible());
        return dialog;
    }
    static void clickOk(StationDialog* dialog) {
        dialog->findChild<QDialogButtonBox*>("bbStation")->button(QDialogButtonBox::Ok)->click();
    }

    QTemporaryDir dir;
    FakeLineState line;
    FakeHookState hooks;
    std::shared_ptr<FakeClock> scheduler = std::make_shared<FakeClock>();
    std::vector<QString> failures;
    std::unique_ptr<StationOutputs> station;
};

// --- the settings ---

TEST_F(StationTest, theInhibitSectionReadsWithDefaultsForWhatItLacks) {
    writeSettings("[General]\nSerialport=2\n");
    StationSettings none = readStationSettings(ProfileFile(settingsPath()));
    EXPECT_EQ(none, StationSettings{});
    EXPECT_EQ(none.line, ModemLine::Rts);

    writeSettings("[inhibit]\nport = COM4\nline=dtr\nActiveLow=1\nCommand=hook 'a b'\n");
    std::string problem;
    const StationSettings s = readStationSettings(ProfileFile(settingsPath()), &problem);
    EXPECT_EQ(s.port, "COM4");
    EXPECT_EQ(s.line, ModemLine::Dtr);
    EXPECT_TRUE(s.activeLow);
    EXPECT_EQ(s.command, "hook 'a b'");
    EXPECT_EQ(problem, "");

    writeSettings("[Inhibit]\nPort=/dev/ttyUSB3\nLine=CTS\n");
    readStationSettings(ProfileFile(settingsPath()), &problem);
    EXPECT_THAT(problem, HasSubstr("Line=CTS"));
}

TEST_F(StationTest, savingEditsTheSectionInPlaceAndKeepsEveryOtherByte) {
    writeSettings(
        "; station settings\r\n[General]\r\nSerialport=2\r\n\r\n[Inhibit]\r\n"
        "; which adapter\r\nPort = "
        "/dev/ttyUSB0\r\nLine = rts\r\n\r\n[Ports]\r\nCOM3=/dev/ttyUSB7\r\n");
    StationSettings s;
    s.port = "COM3";
    s.line = ModemLine::Rts;
    s.activeLow = true;
    s.command = "\"/opt/my tools/inhibit\" --level \"low\"";
    EXPECT_EQ(saveStationSettings(settingsPath(), s), "");
    EXPECT_EQ(settingsText(),
              "; station settings\r\n[General]\r\nSerialport=2\r\n\r\n[Inhibit]\r\n"
              "; which adapter\r\nPort = COM3\r\nLine = rts\r\nActiveLow=1\r\n"
              "Command=\"\"/opt/my tools/inhibit\" --level \"low\"\"\r\n\r\n"
              "[Ports]\r\nCOM3=/dev/ttyUSB7\r\n");
    // A command quoted at both ends reads back as it was written.
    EXPECT_EQ(readStationSettings(ProfileFile(settingsPath())), s);
}

TEST_F(StationTest, aFileThatIsNotIniTextIsNeverWritten) {
    const QByteArray text("just some notes\nabout the station\n");
    writeSettings(text);
    StationSettings s;
    s.port = "/dev/ttyUSB3";
    EXPECT_NE(saveStationSettings(settingsPath(), s), "");
    EXPECT_EQ(settingsText(), text);
}

// --- the outputs on their fakes ---

TEST_F(StationTest, reloadDrivesTheNamedLineOfTheMappedComPortAndRunsTheCommand) {
    writeSettings(
        "[Ports]\nCOM3=/dev/ttyUSB7\n[Inhibit]\nPort=COM3\nLine=DTR\nActiveLow=1\n"
        "Command=inhibit --line 'DTR 1'\n");
    start();
    // Nothing known yet: asserted, and active low is the line off.
    EXPECT_THAT(lineLog(), ElementsAre("open /dev/ttyUSB7", "DTR off"));
    ASSERT_EQ(hooks.runs.size(), 1u);
    EXPECT_THAT(hooks.runs[0].args, ElementsAre("inhibit", "--line", "DTR 1"));
    hooks.finishLast();
    station->linkOnline();
    station->statusSeen(true);
    EXPECT_TRUE(lineLog().empty());
    station->statusSeen(false);
    EXPECT_THAT(lineLog(), ElementsAre("DTR on"));
    hooks.finishLast();
    station->linkLost();
    EXPECT_THAT(lineLog(), ElementsAre("DTR off"));
    EXPECT_THAT(hooks.movingValues(), ElementsAre("1", "0", "1"));
    EXPECT_TRUE(failures.empty());
}

TEST_F(StationTest, failuresReachTheEventsSignalOnceEach) {
    writeSettings("[Inhibit]\nPort=/dev/ttyUSB3\nCommand=hook\n");
    line.openError = ENOENT;
    start();
    station->statusSeen(false);
    station->statusSeen(false);
    HookOutcome exited;
    exited.code = 2;
    hooks.finishLast(exited);
    EXPECT_THAT(failures, ElementsAre("Station line failed: /dev/ttyUSB3 RTS: no such device; "
                                      "check that the adapter is plugged in",
                                      "Station hook failed: hook: exit status 2"));
}

TEST_F(StationTest, aLineThatIsNeitherRtsNorDtrIsReportedAndNothingIsDriven) {
    writeSettings("[Inhibit]\nPort=/dev/ttyUSB3\nLine=CTS\n");
    start();
    EXPECT_TRUE(line.log.empty());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_THAT(failures[0].toStdString(), HasSubstr("Line=CTS"));
}

TEST_F(StationTest, reloadKeepsAnUnchangedLineOpenAndRunsOnlyAChangedCommand) {
    writeSettings("[Inhibit]\nPort=/dev/ttyUSB3\nCommand=hook\n");
    start();
    hooks.finishLast();
    lineLog();
    writeSettings("[Inhibit]\nPort=/dev/ttyUSB3\nCommand=hook\n; touched\n");
    station->reload();
    EXPECT_TRUE(lineLog().empty());
    EXPECT_EQ(hooks.runs.size(), 1u);

    writeSettings("[Inhibit]\nPort=/dev/ttyUSB4\nCommand=other\n");
    station->reload();
    EXPECT_THAT(lineLog(), ElementsAre("open /dev/ttyUSB4", "RTS on", "close"));
    ASSERT_EQ(hooks.runs.size(), 2u);
    EXPECT_THAT(hooks.runs[1].args, ElementsAre("other"));

    writeSettings("[Inhibit]\nPort=\nCommand=other\n");
    station->reload();
    EXPECT_THAT(lineLog(), ElementsAre("close"));
}

// --- the Test pulse ---

TEST_F(StationTest, testAssertsTheLineNowAndReleasesItOneSecondLater) {
    start();
    StationSettings s;
    s.port = "/dev/ttyUSB9";
    s.line = ModemLine::Dtr;
    EXPECT_EQ(station->testPulse(s), "");
    EXPECT_TRUE(line.on("/dev/ttyUSB9", ModemLine::Dtr));
    std::chrono::milliseconds held{0};
    ASSERT_TRUE(scheduler->runNext(100ms, [&](std::chrono::milliseconds step) {
        // Still asserted all the way up to the second.
        EXPECT_TRUE(line.on("/dev/ttyUSB9", ModemLine::Dtr)) << held.count();
        held += step;
        return true;
    }));
    EXPECT_EQ(held, StationOutputs::kTestPulse);
    EXPECT_EQ(held, 1000ms);
    EXPECT_FALSE(line.on("/dev/ttyUSB9", ModemLine::Dtr));
    EXPECT_FALSE(line.driven("/dev/ttyUSB9", ModemLine::Rts));
    EXPECT_FALSE(station->pulsing());
}

TEST_F(StationTest, aPulseOnTheLiveLineHandsItBackToTheOutputsNotToReleased) {
    writeSettings("[Inhibit]\nPort=/dev/ttyUSB3\n");
    start();
    StationSettings s;
    s.port = "/dev/ttyUSB3";
    // Motion unknown: the outputs keep the line asserted after the pulse.
    EXPECT_EQ(station->testPulse(s), "");
    scheduler->runNext(1000ms);
    EXPECT_TRUE(line.on("/dev/ttyUSB3", ModemLine::Rts));
    // Standing still: the pulse ends released, as the outputs want it.
    station->statusSeen(false);
    EXPECT_EQ(station->testPulse(s), "");
    EXPECT_TRUE(line.on("/dev/ttyUSB3", ModemLine::Rts));
    scheduler->runNext(1000ms);
    EXPECT_FALSE(line.on("/dev/ttyUSB3", ModemLine::Rts));
}

TEST_F(StationTest, aPulseOnADeviceThatDoesNotOpenSaysWhyAndSetsNoTimer) {
    start();
    line.openError = ENOENT;
    StationSettings s;
    s.port = "/dev/ttyUSB9";
    EXPECT_THAT(station->testPulse(s).toStdString(), HasSubstr("/dev/ttyUSB9 RTS: no such device"));
    EXPECT_FALSE(scheduler->pending());
    s.port = "";
    EXPECT_THAT(station->testPulse(s).toStdString(), HasSubstr("No port"));
}

TEST_F(StationTest, closeDuringAPulseEndsItReleased) {
    start();
    StationSettings s;
    s.port = "/dev/ttyUSB9";
    station->testPulse(s);
    station->close();
    EXPECT_FALSE(line.on("/dev/ttyUSB9", ModemLine::Rts));
    scheduler->runNext(1000ms);
    EXPECT_FALSE(line.on("/dev/ttyUSB9", ModemLine::Rts));
}

// --- the dialog ---

TEST_F(StationTest, theDialogsFieldsCarryTheirCaptionsAndNamesAndTheFilesValues) {
    writeSettings("[Inhibit]\nPort=COM3\nLine=DTR\nActiveLow=1\nCommand=hook 1\n");
    start();
    StationDialog* dialog = openDialog();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->windowTitle(), "Station");
    struct Field {
        const char* object;
        const char* name;
    };
    for (const Field& f :
         {Field{"edPort", "Port"}, Field{"cbLine", "Line"}, Field{"ckActiveLow", "Active low"},
          Field{"edCommand", "Hook command"}}) {
        auto* field = dialog->findChild<QWidget*>(f.object);
        ASSERT_TRUE(field) << f.object;
        QLabel* caption = nullptr;
        for (QLabel* l : dialog->findChildren<QLabel*>()) {
            if (l->buddy() == field) caption = l;
        }
        ASSERT_TRUE(caption) << f.object;
        EXPECT_EQ(QString(caption->text()).remove('&').remove(':'), f.name);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(field);
        ASSERT_TRUE(a);
        // Assistive technology finds the caption labelling the field; where the platform
        // names a list by its text, the caption is still the field's label.
        const auto labels = a->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << f.object;
        EXPECT_EQ(labels.first().first->object(), caption);
        EXPECT_EQ(field->accessibleName(), f.name);
        if (!qobject_cast<QComboBox*>(field)) {
            EXPECT_EQ(a->text(QAccessible::Name).toStdString(), f.name);
        }
    }
    auto* test = dialog->findChild<QPushButton*>("btTest");
    ASSERT_TRUE(test);
    QAccessibleInterface* button = QAccessible::queryAccessibleInterface(test);
    EXPECT_EQ(button->text(QAccessible::Name).toStdString(), "Test");
    EXPECT_TRUE(button->actionInterface()->actionNames().contains(
        QAccessibleActionInterface::pressAction()));
    EXPECT_EQ(dialog->findChild<QLineEdit*>("edPort")->text(), "COM3");
    EXPECT_EQ(dialog->findChild<QComboBox*>("cbLine")->currentText(), "DTR");
    EXPECT_TRUE(dialog->findChild<QCheckBox*>("ckActiveLow")->isChecked());
    EXPECT_EQ(dialog->findChild<QLineEdit*>("edCommand")->text(), "hook 1");
    dialog->reject();
}

TEST_F(StationTest, okSavesTheInhibitSectionAndTheNewLineAndCommandApplyAtOnce) {
    writeSettings("[General]\nSerialport=1\n");
    start();
    EXPECT_TRUE(line.log.empty());
    StationDialog* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>("edPort")->setText("/dev/ttyUSB5");
    dialog->findChild<QComboBox*>("cbLine")->setCurrentIndex(1);
    dialog->findChild<QCheckBox*>("ckActiveLow")->setChecked(true);
    dialog->findChild<QLineEdit*>("edCommand")->setText("inhibit \"$1\"");
    clickOk(dialog);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settingsText(),
              "[General]\nSerialport=1\n[Inhibit]\nPort=/dev/ttyUSB5\nLine=DTR\nActiveLow=1\n"
              "Command=inhibit \"$1\"\n");
    EXPECT_THAT(lineLog(), ElementsAre("open /dev/ttyUSB5", "DTR off"));
    ASSERT_EQ(hooks.runs.size(), 1u);
    EXPECT_THAT(hooks.runs[0].args, ElementsAre("inhibit", "$1"));
}

TEST_F(StationTest, okRefusesACommandThatDoesNotSplitAndCancelSavesNothing) {
    const QByteArray before("[Inhibit]\nPort=/dev/ttyUSB3\n");
    writeSettings(before);
    start();
    StationDialog* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>("edCommand")->setText("inhibit 'USB 3");
    clickOk(dialog);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_THAT(dialog->message().toStdString(), HasSubstr("Hook command: the ' at character 9"));
    EXPECT_EQ(settingsText(), before);
    dialog->findChild<QLineEdit*>("edPort")->setText("/dev/ttyUSB4");
    dialog->reject();
    EXPECT_EQ(settingsText(), before);
    EXPECT_TRUE(hooks.runs.empty());
}

TEST_F(StationTest, theTestButtonPulsesTheFieldsLineAndShowsAFailureToOpenInTheDialog) {
    start();
    StationDialog* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->findChild<QLineEdit*>("edPort")->setText("/dev/ttyUSB6");
    // The system's own code for a port another program holds.
#ifdef _WIN32
    line.openError = ERROR_SHARING_VIOLATION;
#else
    line.openError = EBUSY;
#endif
    auto* test = dialog->findChild<QPushButton*>("btTest");
    test->click();
    EXPECT_THAT(dialog->message().toStdString(),
                HasSubstr("/dev/ttyUSB6 RTS: busy, another program holds the port"));
    EXPECT_FALSE(scheduler->pending());
    line.openError = 0;
    // Pressed as assistive technology presses it: a click a moment later, on the loop.
    QAccessible::queryAccessibleInterface(test)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(QTest::qWaitFor([&] { return line.on("/dev/ttyUSB6", ModemLine::Rts); }, 5000));
    EXPECT_EQ(dialog->message().toStdString(), "/dev/ttyUSB6 RTS asserted for one second.");
    EXPECT_TRUE(line.on("/dev/ttyUSB6", ModemLine::Rts));
    // Closing the dialog does not cut the pulse short, nor leave it asserted.
    dialog->reject();
    EXPECT_TRUE(line.on("/dev/ttyUSB6", ModemLine::Rts));
    scheduler->runNext(1000ms);
    EXPECT_FALSE(line.on("/dev/ttyUSB6", ModemLine::Rts));
}

// --- the menu item ---

TEST(StationMenuItem, isAddedToTheComPortMenuAndAsksForTheDialog) {
    testing::FakeSerialState wire;
    Comm32 port(std::make_unique<testing::FakeSerialBackend>(wire), nullptr);
    Link link(port);
    PortMenuContext context{{},
                            {},
                            {},
                            {},
                            {},
                            port,
                            link,
                            [] { return 1; },
                            [](int) {},
                            [](const QString&) {},
                            [](const QString&) {},
                            nullptr};
    PortMenu ports(std::move(context), nullptr);
    QMenu menu(QStringLiteral("&Com port"));
    QAction* item = ports.addStationItem(&menu);
    EXPECT_EQ(menu.actions().back(), item);
    EXPECT_EQ(item->objectName(), "Station1");
    EXPECT_EQ(QString(item->text()).remove('&'), "Station...");
    QSignalSpy asked(&ports, &PortMenu::stationRequested);
    item->trigger();
    EXPECT_EQ(asked.count(), 1);
}

}  // namespace
}  // namespace kt6
