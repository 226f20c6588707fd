// What the operator is told in the Events field when a "Functions" item does nothing, and of
// a factory recall whose lines the display keeps only until the next reply.
#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>

#include "console/status/status_bar.h"
#include "support/poll_stage.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using ServiceRefusalsTest = testing::ServiceWindowTest;

struct RefusalRow {
    const char* name;
    const char* item;
    std::uint32_t kHz;
    bool moving;
    bool prompt;
    const char* told;
};

class RefusalEventTest : public ServiceRefusalsTest,
                         public ::testing::WithParamInterface<RefusalRow> {};

TEST_P(RefusalEventTest, aRefusedItemSaysWhyInTheEventsFieldAndSendsNothing) {
    startTuned();
    const RefusalRow& row = GetParam();
    testing::PollStage::frequency(window->poll(), row.kHz);
    testing::PollStage::moving(window->poll(), row.moving);
    if (row.prompt) find("COM_VERIFY")->show();
    window->clearEvent();
    const auto from = mark();
    choose(row.item);
    EXPECT_TRUE(commandsSince(from).empty());
    EXPECT_EQ(event(), QString::fromLatin1(row.told));
    // The tip says the same to whoever hovers.
    EXPECT_TRUE(QString::fromLatin1(row.told).endsWith(find<QAction>(row.item)->statusTip()));
}

INSTANTIATE_TEST_SUITE_P(
    Guards, RefusalEventTest,
    ::testing::Values(
        RefusalRow{"calibrateRetracted", "Calibrate1", 0, false, false,
                   "Calibrate not started: The elements are retracted: select a band first."},
        RefusalRow{"factoryMoving", "FactoryDefault1", 14000, true, false,
                   "Factory Default not started: The elements are moving: wait until they "
                   "stop."},
        RefusalRow{"editorRetracted", "ModifyElemets1", 0, false, false,
                   "Modify elemets not started: The elements are retracted: select a band "
                   "first."},
        RefusalRow{"testTuned", "estelements1", 14000, false, false,
                   "Test elements not started: Only with the elements retracted (Functions > "
                   "Retract)."},
        RefusalRow{"retractPrompt", "Retract1", 14000, false, true,
                   "Retract not started: Select a valid port first (Com port menu)."}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ServiceRefusalsTest, anItemChosenWhileAFunctionRunsSaysSo) {
    startTuned();
    choose("Calibrate1");
    find<QAbstractButton>("yes_cal")->click();
    ASSERT_TRUE(window->sequenceRunning());
    const auto from = mark();
    find<QAction>("Retract1")->trigger();
    EXPECT_EQ(event(), "Retract not started: A service function is running.");
    EXPECT_TRUE(codesSince(from).empty());
    settle();
}

TEST_F(ServiceRefusalsTest, anItemThatOpensTellsNothing) {
    startTuned();
    window->clearEvent();
    choose("Retract1");
    EXPECT_TRUE(shown("Panel_Retract"));
    EXPECT_EQ(event(), "");
}

TEST_F(ServiceRefusalsTest, theFactoryRecallIsAnEventThatOutlastsItsDisplayLines) {
    startTuned();
    choose("FactoryDefault1");
    click("factory_b_yes");
    EXPECT_EQ(text("lBanda"), "Executed factory default data");
    EXPECT_EQ(event(), "Executed factory default data have been recalled");
    // The next reply repaints the display; the Events field still says what was done.
    pollTwice();
    EXPECT_NE(text("lBanda"), "Executed factory default data");
    EXPECT_EQ(event(), "Executed factory default data have been recalled");
}

}  // namespace
}  // namespace kt6
