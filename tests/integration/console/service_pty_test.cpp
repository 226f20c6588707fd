// A service function and the element editor in real time: the window on kt6-sim over a
// pseudo-terminal, with the window's own timers and status poll.
#include <gtest/gtest.h>

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <fstream>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "integration/sim/sim_process.h"
#include "support/fake_dialogs.h"
#include "support/fake_rig_server.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;

TEST(ServiceFunctionsOverThePty, calibrateQuestionAndAnEditorStepReachTheSimulator) {
    testing::SimProcess sim({"--pace"}, 10s);
    QTemporaryDir dir;
    const auto settings = std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
    std::ofstream(settings) << "[General]\nSerialport=1\n[Ports]\nCOM1=" << sim.slavePath()
                            << "\n[OmniRig]\nRig1=0\nRig2=0\n";
    testing::FakeRigState rigs;
    ConsoleOptions options;
    options.settingsPath = settings;
    options.dialogs = std::make_shared<testing::FakeDialogs>();
    options.makeRigServer = [&] { return std::make_unique<testing::FakeRigServer>(rigs); };
    FmMain window(std::move(options));
    window.FormActivate();
    // A sequence's handler returns at once; its pauses run on the window's timers.
    auto settled = [&] {
        return QTest::qWaitFor([&] { return !window.sequenceRunning(); }, 10000);
    };
    auto screenIs = [&](std::uint32_t screen) {
        return QTest::qWaitFor([&] { return window.poll().ActiveScreen == screen; }, 5000);
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.poll().ControllerOnline && window.poll().CurrentFrequency != 0; },
        10000));

    const auto started = std::chrono::steady_clock::now();
    window.findChild<QAction*>("Calibrate1")->trigger();
    ASSERT_TRUE(settled());
    // Three menu pauses of a third of a second each, on the real clock.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 999ms);
    EXPECT_FALSE(window.findChild<QWidget*>("Panel_calibrate")->isHidden());
    ASSERT_TRUE(screenIs(6));  // the controller asks its calibrate question
    window.findChild<QPushButton*>("Press_No")->click();
    ASSERT_TRUE(screenIs(0));

    window.findChild<QAction*>("ModifyElemets1")->trigger();
    ASSERT_TRUE(settled());
    auto* driver = window.findChild<QLineEdit*>("Driver");
    const QRegularExpression length(QStringLiteral("^(\\d{4,5}) mm$"));
    const auto before = length.match(driver->text());
    ASSERT_TRUE(before.hasMatch()) << driver->text().toStdString();
    ASSERT_TRUE(screenIs(9));  // its editor
    window.findChild<QPushButton*>("B_up_3")->click();
    // The step's key and the read after it go out as the controller answers.
    ASSERT_TRUE(settled());
    const auto after = length.match(driver->text());
    ASSERT_TRUE(after.hasMatch());
    EXPECT_GT(after.captured(1).toInt(), before.captured(1).toInt());
    EXPECT_FALSE(window.findChild<QWidget*>("b_save")->isHidden());
    window.findChild<QPushButton*>("b_save")->click();
    ASSERT_TRUE(settled());
    window.findChild<QPushButton*>("B_no")->click();
    ASSERT_TRUE(settled());
    EXPECT_TRUE(window.findChild<QWidget*>("Panel_Menu")->isHidden());
    EXPECT_TRUE(screenIs(0));
    window.close();
}

}  // namespace
}  // namespace kt6
