// A service function and the element editor in real time: the window on kt6-sim over a
// pseudo-terminal, with the window's own timers and status poll.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <chrono>

#include "integration/sim/sim_process.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;

using ServiceFunctionsOverThePty = testing::WindowFixture;

TEST_F(ServiceFunctionsOverThePty, calibrateQuestionAndAnEditorStepReachTheSimulator) {
    testing::SimProcess sim({"--pace"}, 10s);
    writeSettings("[General]\nSerialport=1\n[Ports]\nCOM1=" + sim.slavePath() +
                  "\n[OmniRig]\nRig1=0\nRig2=0\n");
    far = Far::Device;
    ConsoleOptions options = baseOptions();
    options.runPollTimer = true;
    start(std::move(options));
    // A sequence's handler returns at once; its pauses run on the window's timers.
    auto settled = [&] {
        return QTest::qWaitFor([&] { return !window->sequenceRunning(); }, 10000);
    };
    auto screenIs = [&](std::uint32_t screen) {
        return QTest::qWaitFor([&] { return window->poll().ActiveScreen() == screen; }, 5000);
    };
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window->poll().ControllerOnline() && window->poll().CurrentFrequency() != 0; },
        10000));

    const auto started = std::chrono::steady_clock::now();
    item("Calibrate1")->trigger();
    ASSERT_TRUE(settled());
    // Three menu pauses of a third of a second each, on the real clock.
    EXPECT_GE(std::chrono::steady_clock::now() - started, 999ms);
    EXPECT_TRUE(shown("Panel_calibrate"));
    ASSERT_TRUE(screenIs(6));  // the controller asks its calibrate question
    find<QPushButton>("Press_No")->click();
    ASSERT_TRUE(screenIs(0));

    item("ModifyElemets1")->trigger();
    ASSERT_TRUE(settled());
    auto* driver = find<QLineEdit>("Driver");
    const QRegularExpression length(QStringLiteral("^(\\d{4,5}) mm$"));
    const auto before = length.match(driver->text());
    ASSERT_TRUE(before.hasMatch()) << driver->text().toStdString();
    ASSERT_TRUE(screenIs(9));  // its editor
    find<QPushButton>("B_up_3")->click();
    // The step's key and the read after it go out as the controller answers.
    ASSERT_TRUE(settled());
    const auto after = length.match(driver->text());
    ASSERT_TRUE(after.hasMatch());
    EXPECT_GT(after.captured(1).toInt(), before.captured(1).toInt());
    EXPECT_TRUE(shown("b_save"));
    find<QPushButton>("b_save")->click();
    ASSERT_TRUE(settled());
    find<QPushButton>("B_no")->click();
    ASSERT_TRUE(settled());
    EXPECT_FALSE(shown("Panel_Menu"));
    EXPECT_TRUE(screenIs(0));
    window->close();
}

}  // namespace
}  // namespace kt6
