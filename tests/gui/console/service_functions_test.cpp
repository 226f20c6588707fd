// The "Functions" menu against the simulated controller on a fake clock: the keys, flags and
// pauses on the line, the screens shown and hidden, the front keys, and the guards.
#include <QAccessible>
#include <QApplication>
#include <QFrame>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTimer>
#include <algorithm>

#include "console/panel/key_button.h"
#include "console/service/service_screens.h"
#include "console/status/status_bar.h"
#include "core/service_sequences.h"
#include "support/poll_stage.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::KeyPress;
using testing::ServiceWindowTest;
using namespace std::chrono_literals;

// Every gap between consecutive presses from `first` on is one 333 ms pause plus the
// simulated controller's few milliseconds of answer.
void expectMenuPauses(const std::vector<KeyPress>& keys, std::size_t first) {
    for (std::size_t i = first + 1; i < keys.size(); ++i) {
        const auto gap =
            std::chrono::duration_cast<std::chrono::milliseconds>(keys[i].at - keys[i - 1].at);
        EXPECT_GE(gap.count(), 333) << "before key " << i;
        EXPECT_LT(gap.count(), 345) << "before key " << i;
    }
}

std::vector<bool> flags(const std::vector<KeyPress>& keys) {
    std::vector<bool> out;
    for (const auto& k : keys) out.push_back(k.flagged);
    return out;
}

class ServiceFunctionsTest : public ServiceWindowTest {
  protected:
    sim::Screen controllerScreen() { return simulator->model().controller().screen(); }
};

TEST_F(ServiceFunctionsTest, screensSitOverTheDisplayInTheirStackingOrder) {
    start();
    const char* order[] = {"pnDisplay",           "Panel_Menu",    "Panel_calibrate",
                           "Panel_factory",       "Panel_Retract", "Panel_Elem_Retract",
                           "Panel_test",          "Panel_T_act",   "Panel_Chiuso",
                           "Calibrate_of_course", "panel_test_go", "Retracting_of_course"};
    QWidget* pnBlue = find("pnBlue");
    const auto children = pnBlue->children();
    int last = -1;
    for (const char* name : order) {
        QWidget* w = find(name);
        EXPECT_EQ(w->geometry(), QRect(72, 96, 289, 153)) << name;
        const int at = static_cast<int>(children.indexOf(w));
        EXPECT_GT(at, last) << name << " lies too low";
        last = at;
    }
    for (const char* name :
         {"Panel_calibrate", "Calibrate_of_course", "Panel_T_act", "Panel_Menu"}) {
        EXPECT_TRUE(find(name)->isHidden()) << name;
    }
    // "Yes" and "No" stand over the keys with codes 6 and 5.
    auto onBlue = [&](const char* name) { return find(name)->mapTo(pnBlue, QPoint(0, 0)).x(); };
    for (const char* yes : {"yes_cal", "factory_b_yes", "B_Retr_Yes", "B_Test_Yes"}) {
        EXPECT_GE(onBlue(yes), 160) << yes;
        EXPECT_LE(onBlue(yes), 168) << yes;
    }
    for (const char* no : {"Press_No", "factory_b_no", "B_retract_2", "B_test_NO"}) {
        EXPECT_GE(onBlue(no), 224) << no;
        EXPECT_LE(onBlue(no), 232) << no;
    }
    EXPECT_EQ(find("B_testact_Yes")->x(), 120);
    EXPECT_EQ(text("Panel_factory_Title"), "Recall factory defaults?");
    EXPECT_EQ(text("Panel_factory_Line2"), "will be resetted.");
    EXPECT_EQ(text("panel_test_go_Line1"), "please wait....");
    EXPECT_EQ(text("Retracting_of_course_Moving"), "MOVING ELEMENTS.....");
    EXPECT_EQ(find("yes_cal")->accessibleName(), "Yes");
    EXPECT_EQ(find("Panel_T_act_Title")->accessibleName(), "TEST ACTIVE");
    EXPECT_TRUE(find<QAction>("Calibrate1")->isEnabled());
}

TEST_F(ServiceFunctionsTest, calibrateWalksToTheQuestionAndNoReturnsHome) {
    startTuned();
    const auto from = mark();
    choose("Calibrate1");
    const auto keys = keysSince(from);
    EXPECT_EQ(codesSince(from), (std::vector<int>{13, 13, 8, 6, 6}));
    EXPECT_EQ(flags(keys), (std::vector<bool>{false, true, false, false, false}));
    // No pause between the two leading 13s.
    EXPECT_LT(msBetween(keys[0], keys[1]), 20);
    expectMenuPauses(keys, 1);
    EXPECT_TRUE(shown("Panel_calibrate"));
    EXPECT_TRUE(frontKeysHidden());
    EXPECT_EQ(controllerScreen(), sim::Screen::CalibrateQuestion);

    const auto answered = mark();
    click("Press_No");
    EXPECT_EQ(codesSince(answered), (std::vector<int>{5, 13}));
    EXPECT_FALSE(shown("Panel_calibrate"));
    EXPECT_TRUE(frontKeysShown());
    EXPECT_EQ(controllerScreen(), sim::Screen::Main);
}

TEST_F(ServiceFunctionsTest, calibrateYesWaits26SecondsBehindItsScreenWithoutPolling) {
    startTuned();
    choose("Calibrate1");
    const auto answered = mark();
    bool screenUpDuringWait = true;
    std::chrono::milliseconds sincePoll{0};
    duringPause = [&] {
        screenUpDuringWait = screenUpDuringWait && shown("Calibrate_of_course") &&
                             !shown("Panel_calibrate") && frontKeysHidden();
        // The poll timer keeps firing during the wait, as it would in the window.
        sincePoll += kStep;
        if (sincePoll >= 400ms) {
            sincePoll = 0ms;
            window->tmPollTimer();
        }
    };
    click("yes_cal");
    duringPause = nullptr;
    const auto keys = keysSince(answered);
    ASSERT_EQ(codesSince(answered), (std::vector<int>{6, 13, 13}));
    EXPECT_GE(msBetween(keys[1], keys[2]), 26000);
    EXPECT_LT(msBetween(keys[1], keys[2]), 26020);
    EXPECT_TRUE(screenUpDuringWait);
    // Nothing but the sequence's own keys went out, poll ticks and all.
    EXPECT_EQ(commandsSince(answered), (std::vector<int>{8, 8, 8}));
    EXPECT_FALSE(shown("Calibrate_of_course"));
    EXPECT_TRUE(frontKeysShown());
    EXPECT_EQ(controllerScreen(), sim::Screen::Main);

    // The poll takes up again with one request: the ticks that fell inside the sequence
    // run their step from the event loop once it has let go of the link.
    const auto after = mark();
    tick();
    QCoreApplication::processEvents();
    EXPECT_EQ(commandsSince(after), std::vector<int>{1});
}

TEST_F(ServiceFunctionsTest, yesReturnsAtOnceAndTheWaitIsCountedDownWhileTheLinkStaysOnline) {
    startTuned();
    choose("Calibrate1");
    const auto answered = mark();
    // As a screen reader presses it: the handler returns with the motors still running.
    find<QAbstractButton>("yes_cal")->click();
    EXPECT_TRUE(window->sequenceRunning());
    // The keys go out as the controller answers them, the wait screen after them, and the wait
    // counted once the return key's exchange is over.
    const auto* countdown = window->findChild<QTimer*>("tmCountdown");
    ASSERT_TRUE(countdown);
    settleWhile([countdown] { return !countdown->isActive(); });
    EXPECT_TRUE(shown("Calibrate_of_course"));
    EXPECT_EQ(codesSince(answered), (std::vector<int>{6, 13}));
    EXPECT_EQ(window->consoleStatusBar()->eventText(), "Calibrating elements: 26 s left");
    EXPECT_TRUE(countdown->isActive());
    EXPECT_EQ(countdown->interval(), 1000);
    // The loop is free: poll ticks and countdown ticks run, and the poll sends nothing.
    for (int second = 0; second < 17; ++second) {
        window->findChild<ServiceScreens*>("ServiceScreens")->tmCountdownTimer();
        tick(2);
    }
    EXPECT_EQ(window->consoleStatusBar()->eventText(), "Calibrating elements: 9 s left");
    EXPECT_EQ(commandsSince(answered), (std::vector<int>{8, 8}));
    // A deliberate pause is no silence of the controller's.
    EXPECT_TRUE(window->consoleStatusBar()->linkText().startsWith("COM1 online"))
        << window->consoleStatusBar()->linkText().toStdString();
    // A click meanwhile is refused by the running sequence, not queued behind it.
    find<QAbstractButton>("Press_No")->click();
    settle();
    EXPECT_EQ(codesSince(answered), (std::vector<int>{6, 13, 13}));
    EXPECT_FALSE(window->sequenceRunning());
    EXPECT_FALSE(countdown->isActive());
    // The countdown gone, the Events field tells the end.
    EXPECT_EQ(window->consoleStatusBar()->eventText(), "Calibration done");
}

TEST_F(ServiceFunctionsTest, inputDuringAWaitIsDroppedNotReplayed) {
    startTuned();
    choose("Calibrate1");
    QSignalSpy noClicks(find<QAbstractButton>("Press_No"), &QAbstractButton::clicked);
    bool busyCursor = false;
    bool posted = false;
    duringPause = [&] {
        busyCursor = QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::BusyCursor;
        if (posted) return;
        posted = true;
        // A click on the frequency line would ask for a new frequency; Space on "No" would
        // answer the question.
        QWidget* freq = find("lFreq");
        const QPointF at(10, 10);
        QCoreApplication::postEvent(
            freq, new QMouseEvent(QEvent::MouseButtonPress, at, freq->mapToGlobal(at),
                                  Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
        QCoreApplication::postEvent(
            freq, new QMouseEvent(QEvent::MouseButtonRelease, at, freq->mapToGlobal(at),
                                  Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
        QWidget* no = find("Press_No");
        QCoreApplication::postEvent(
            no, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " "));
        QCoreApplication::postEvent(
            no, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " "));
    };
    const auto answered = mark();
    click("yes_cal");
    duringPause = nullptr;
    ASSERT_TRUE(posted);
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialogs->inputs, 0);
    EXPECT_EQ(noClicks.count(), 0);
    EXPECT_EQ(codesSince(answered), (std::vector<int>{6, 13, 13}));
}

TEST_F(ServiceFunctionsTest, closingTheWindowEndsAWaitAndSendsNothingMore) {
    startTuned();
    choose("Calibrate1");
    duringPause = [&] {
        duringPause = nullptr;
        window->close();
    };
    const auto answered = mark();
    const auto before = clock->now();
    click("yes_cal");
    EXPECT_LT(clock->now() - before, 1000ms);
    EXPECT_EQ(codesSince(answered), (std::vector<int>{6, 13}));
}

TEST_F(ServiceFunctionsTest, factoryDefaultAndItsLinesLastUntilTheNextReply) {
    startTuned();
    const QString band = text("lBanda");
    const QString heading = text("Heading");
    auto from = mark();
    choose("FactoryDefault1");
    const auto keys = keysSince(from);
    EXPECT_EQ(codesSince(from), (std::vector<int>{13, 13, 8, 4, 6}));
    EXPECT_EQ(flags(keys), std::vector<bool>(5, false));
    expectMenuPauses(keys, 1);
    EXPECT_TRUE(shown("Panel_factory"));
    EXPECT_TRUE(frontKeysHidden());
    EXPECT_EQ(controllerScreen(), sim::Screen::FactoryQuestion);

    from = mark();
    click("factory_b_yes");
    EXPECT_EQ(codesSince(from), std::vector<int>{6});
    EXPECT_EQ(text("lBanda"), "Executed factory default data");
    EXPECT_EQ(text("Heading"), "have been recalled");
    EXPECT_FALSE(shown("Panel_factory"));
    EXPECT_TRUE(frontKeysShown());
    pollTwice();
    EXPECT_EQ(text("lBanda"), band);
    EXPECT_EQ(text("Heading"), heading);

    choose("FactoryDefault1");
    from = mark();
    click("factory_b_no");
    EXPECT_EQ(codesSince(from), (std::vector<int>{5, 13}));
    EXPECT_FALSE(shown("Panel_factory"));
    EXPECT_TRUE(frontKeysShown());
}

struct RetractRow {
    const char* name;
    std::uint32_t kHz;
    long long waitMs;
};

class RetractWaitTest : public ServiceFunctionsTest,
                        public ::testing::WithParamInterface<RetractRow> {};

TEST_P(RetractWaitTest, yesWaitsForTheBandThenEnds) {
    startTuned();
    std::vector<bool> keysDuringWalk;
    duringPause = [&] { keysDuringWalk.push_back(frontKeysShown()); };
    auto from = mark();
    choose("Retract1");
    EXPECT_EQ(codesSince(from), (std::vector<int>{13, 13, 8, 6, 7}));
    expectMenuPauses(keysSince(from), 1);
    // The front keys stay up during the walk and go once the question shows.
    EXPECT_EQ(std::count(keysDuringWalk.begin(), keysDuringWalk.end(), false), 0);
    EXPECT_TRUE(shown("Panel_Retract"));
    EXPECT_TRUE(frontKeysHidden());

    testing::PollStage::frequency(window->poll(), GetParam().kHz);
    bool waitScreen = true;
    duringPause = [&] {
        waitScreen = waitScreen && shown("Retracting_of_course") && !shown("Panel_Retract");
    };
    from = mark();
    const auto before = clock->now();
    click("B_Retr_Yes");
    duringPause = nullptr;
    EXPECT_EQ(codesSince(from), std::vector<int>{6});
    const auto took = (clock->now() - before).count();
    EXPECT_GE(took, GetParam().waitMs);
    EXPECT_LT(took, GetParam().waitMs + 20);
    EXPECT_TRUE(waitScreen);
    EXPECT_FALSE(shown("Retracting_of_course"));
    EXPECT_TRUE(frontKeysShown());
}

INSTANTIATE_TEST_SUITE_P(Bands, RetractWaitTest,
                         ::testing::Values(RetractRow{"at28500", 28500, 12000},
                                           RetractRow{"at49000", 49000, 7000},
                                           RetractRow{"at51000", 51000, 7000},
                                           RetractRow{"at14000", 14000, 22000},
                                           // Outside every window: the longest wait, then done.
                                           RetractRow{"at7050", 7050, 26000}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(ServiceFunctionsTest, retractNoSendsFiveOnly) {
    startTuned();
    choose("Retract1");
    const auto from = mark();
    click("B_retract_2");
    EXPECT_EQ(codesSince(from), std::vector<int>{5});
    EXPECT_FALSE(shown("Panel_Retract"));
    EXPECT_TRUE(frontKeysShown());
}

TEST_F(ServiceFunctionsTest, aQuestionTakesTheKeyboardAndGivesItBackToTheFrontPanel) {
    startTuned();
    window->show();
    window->activateWindow();
    QCoreApplication::processEvents();
    choose("Retract1");
    ASSERT_TRUE(shown("Panel_Retract"));
    const QWidget* focus = window->focusWidget();
    ASSERT_TRUE(focus);
    EXPECT_TRUE(find("Panel_Retract")->isAncestorOf(focus)) << focus->objectName().toStdString();
    EXPECT_TRUE(qobject_cast<const QAbstractButton*>(focus));
    click("B_retract_2");
    focus = window->focusWidget();
    ASSERT_TRUE(focus);
    EXPECT_TRUE(focus->isVisible()) << focus->objectName().toStdString();
    EXPECT_TRUE(qobject_cast<const KeyButton*>(focus)) << focus->objectName().toStdString();
}

TEST_F(ServiceFunctionsTest, aScreenCoveredWholeIsNotMetByAScreenReader) {
    startTuned();
    const auto listed = [this](const char* name) {
        QAccessibleInterface* holder = QAccessible::queryAccessibleInterface(find("pnBlue"));
        for (int i = 0; i < holder->childCount(); ++i) {
            if (holder->child(i)->object() == find(name)) return true;
        }
        return false;
    };
    EXPECT_TRUE(listed("pnDisplay"));
    choose("ModifyElemets1");
    ASSERT_TRUE(shown("Panel_Menu"));
    // The editor lies over the display: only the editor is there to read.
    EXPECT_FALSE(listed("pnDisplay"));
    EXPECT_TRUE(listed("Panel_Menu"));
}

TEST_F(ServiceFunctionsTest, testElementsRunsOnlyWithTheElementsRetracted) {
    startTuned();
    choose("Retract1");
    click("B_Retr_Yes");
    pollTwice();
    ASSERT_EQ(window->poll().CurrentFrequency(), 0u);
    tick();  // the tick after a reply paints the panels
    EXPECT_TRUE(shown("Panel_Elem_Retract"));

    auto from = mark();
    choose("estelements1");
    auto keys = keysSince(from);
    EXPECT_EQ(codesSince(from), std::vector<int>{13});
    EXPECT_EQ(flags(keys), std::vector<bool>{true});
    EXPECT_TRUE(shown("Panel_test"));
    EXPECT_TRUE(frontKeysHidden());
    EXPECT_EQ(controllerScreen(), sim::Screen::TestQuestion);

    bool movingScreen = true;
    duringPause = [&] {
        movingScreen = movingScreen && shown("panel_test_go") && shown("Panel_test");
    };
    from = mark();
    auto before = clock->now();
    click("B_Test_Yes");
    EXPECT_EQ(codesSince(from), std::vector<int>{6});
    EXPECT_GE(clock->now() - before, 6000ms);
    EXPECT_LT(clock->now() - before, 6020ms);
    EXPECT_TRUE(movingScreen);
    EXPECT_FALSE(shown("Panel_test"));
    EXPECT_FALSE(shown("panel_test_go"));
    EXPECT_TRUE(shown("Panel_T_act"));
    EXPECT_TRUE(frontKeysShown());
    EXPECT_EQ(controllerScreen(), sim::Screen::TestActive);

    // "Yes" on TEST ACTIVE does nothing while a frequency is reported ...
    testing::PollStage::frequency(window->poll(), 14000);
    from = mark();
    click("B_testact_Yes");
    EXPECT_TRUE(codesSince(from).empty());
    EXPECT_TRUE(shown("Panel_T_act"));
    // ... and retracts the test at frequency 0.
    testing::PollStage::frequency(window->poll(), 0);
    movingScreen = true;
    duringPause = [&] {
        movingScreen = movingScreen && shown("panel_test_go") && shown("Panel_T_act");
    };
    before = clock->now();
    click("B_testact_Yes");
    EXPECT_EQ(codesSince(from), std::vector<int>{8});
    EXPECT_GE(clock->now() - before, 6000ms);
    EXPECT_TRUE(movingScreen);
    EXPECT_FALSE(shown("Panel_T_act"));
    EXPECT_FALSE(shown("panel_test_go"));

    choose("estelements1");
    from = mark();
    click("B_test_NO");
    EXPECT_EQ(codesSince(from), std::vector<int>{5});
    EXPECT_FALSE(shown("Panel_test"));
    EXPECT_TRUE(frontKeysShown());
}

TEST_F(ServiceFunctionsTest, anotherFunctionAbandonsTheOpenQuestion) {
    startTuned();
    choose("Calibrate1");
    choose("Retract1");
    EXPECT_FALSE(shown("Panel_calibrate"));
    EXPECT_TRUE(shown("Panel_Retract"));
    EXPECT_EQ(controllerScreen(), sim::Screen::RetractQuestion);
}

struct GuardRow {
    const char* name;
    const char* item;
    std::uint32_t kHz;
    bool moving;
    bool prompt;
    const char* refusal;  // nullptr: the function opens
};

class GuardTest : public ServiceFunctionsTest, public ::testing::WithParamInterface<GuardRow> {};

TEST_P(GuardTest, menuItemActsOnlyWhenItsGuardHolds) {
    startTuned();
    const GuardRow& row = GetParam();
    testing::PollStage::frequency(window->poll(), row.kHz);
    testing::PollStage::moving(window->poll(), row.moving);
    if (row.prompt) find("COM_VERIFY")->show();
    const auto from = mark();
    choose(row.item);
    auto* item = find<QAction>(row.item);
    if (row.refusal) {
        EXPECT_TRUE(commandsSince(from).empty());
        EXPECT_EQ(item->statusTip(), QString::fromLatin1(row.refusal));
        EXPECT_TRUE(frontKeysShown());
        EXPECT_TRUE(dialogs->messages.empty());
    } else {
        EXPECT_FALSE(codesSince(from).empty());
        EXPECT_TRUE(frontKeysHidden());
    }
}

constexpr const char* kRetracted = "The elements are retracted: select a band first.";
constexpr const char* kMoving = "The elements are moving: wait until they stop.";
constexpr const char* kPrompt = "Select a valid port first (Com port menu).";
constexpr const char* kNotRetracted = "Only with the elements retracted (Functions > Retract).";

INSTANTIATE_TEST_SUITE_P(
    Table, GuardTest,
    ::testing::Values(GuardRow{"calibrateTuned", "Calibrate1", 14000, false, false, nullptr},
                      GuardRow{"calibrateRetracted", "Calibrate1", 0, false, false, kRetracted},
                      GuardRow{"factoryRetracted", "FactoryDefault1", 0, false, false, kRetracted},
                      GuardRow{"retractRetracted", "Retract1", 0, false, false, kRetracted},
                      GuardRow{"editorRetracted", "ModifyElemets1", 0, false, false, kRetracted},
                      GuardRow{"testTuned", "estelements1", 14000, false, false, kNotRetracted},
                      GuardRow{"testRetracted", "estelements1", 0, false, false, nullptr},
                      GuardRow{"calibrateMoving", "Calibrate1", 14000, true, false, kMoving},
                      GuardRow{"testMoving", "estelements1", 0, true, false, kMoving},
                      GuardRow{"retractPrompt", "Retract1", 14000, false, true, kPrompt},
                      GuardRow{"testPrompt", "estelements1", 0, false, true, kPrompt},
                      GuardRow{"editorMoving", "ModifyElemets1", 14000, true, false, kMoving}),
    [](const auto& row) { return std::string(row.param.name); });

TEST_F(ServiceFunctionsTest, menuTipsSayWhatEachItemWouldDoNow) {
    startTuned();
    testing::PollStage::frequency(window->poll(), 0);
    auto* menu = find<QMenu>("Functions1");
    QMetaObject::invokeMethod(menu, "aboutToShow");
    EXPECT_EQ(find<QAction>("Retract1")->statusTip(), kRetracted);
    EXPECT_EQ(find<QAction>("estelements1")->statusTip(),
              "Test the elements (with the elements retracted).");
}

TEST_F(ServiceFunctionsTest, noFunctionActsBeforeTheControllerHasAnswered) {
    // A controller that never answers: its start-up frequency of 0 is nobody's word.
    start(Far::Script);
    controller.answering = false;
    for (const char* item :
         {"Calibrate1", "FactoryDefault1", "ModifyElemets1", "Retract1", "estelements1"}) {
        const auto from = mark();
        choose(item);
        EXPECT_TRUE(codesSince(from).empty()) << item;
        EXPECT_EQ(find<QAction>(item)->statusTip(), "The controller has not answered yet") << item;
        for (const char* screen :
             {"Panel_calibrate", "Panel_factory", "Panel_Retract", "Panel_test", "Panel_T_act"}) {
            EXPECT_FALSE(shown(screen)) << item << " " << screen;
        }
    }
    // Once it answers (retracted, as it says now) the test may open.
    controller.answering = true;
    controller.record.frequency = 0;
    controller.record.screen = 1;
    pollTwice();
    ASSERT_TRUE(window->poll().Replied());
    const auto from = mark();
    choose("estelements1");
    EXPECT_EQ(codesSince(from), std::vector<int>{13});
}

TEST_F(ServiceFunctionsTest, aDeviceBackDuringAWaitIsReopenedThenAndTheWaitsLastKeyReachesIt) {
    start(Far::Script);
    controller.record.firmwareMinor = 13;
    controller.record.firmwareMajor = 1;
    controller.record.frequency = 14150;
    pollTwice();
    ASSERT_TRUE(window->poll().Replied());
    choose("Calibrate1");
    const auto answered = mark();
    find<QAbstractButton>("yes_cal")->click();
    ASSERT_TRUE(window->sequenceRunning());
    settleWhile([this] { return !shown("Calibrate_of_course"); });
    // The adapter is pulled and put back while the motors run.
    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    wire.plugIn();
    window->tmRetryTimer();
    EXPECT_FALSE(window->portLost());
    EXPECT_TRUE(window->sequenceRunning());
    settle();
    // The return key that ends the wait went out on the reopened port.
    EXPECT_EQ(codesSince(answered), (std::vector<int>{6, 13, 13}));
    EXPECT_TRUE(wire.open);
}

TEST(RetractWaitTable, boundsBelongToTheirWindowAndGapsGetTheLongestWait) {
    EXPECT_EQ(retractWait(13000), 22000ms);
    EXPECT_EQ(retractWait(15000), 22000ms);
    EXPECT_EQ(retractWait(17000), 16000ms);
    EXPECT_EQ(retractWait(22000), 15000ms);
    EXPECT_EQ(retractWait(23000), 14000ms);
    EXPECT_EQ(retractWait(30000), 12000ms);
    EXPECT_EQ(retractWait(15001), 26000ms);
    EXPECT_EQ(retractWait(10120), 26000ms);
    EXPECT_EQ(retractWait(51001), 26000ms);
}

}  // namespace
}  // namespace kt6
