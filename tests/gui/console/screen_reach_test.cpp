// The screens laid over the front panel for the keyboard and for a screen reader: each takes the
// focus on its own controls, Tab stays on them, Escape answers "No", nothing hidden or covered
// acts however it is reached, a question or a wait is met as a message box is, and keys during a
// wait still reach the window, where assistive technology listens.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QWindow>

#include "console/panel/key_button.h"
#include "console/service/element_lengths.h"
#include "console/service/service_screens.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::ServiceWindowTest;

class ScreenReachTest;
// A state of the window with one screen on top, reached from the tuned window.
struct ScreenCase {
    const char* what;
    // The widget that takes the focus, and the one Tab stays in (the front panel when its
    // keys are up beside the screen).
    const char* screen;
    const char* tabWithin;
    std::function<void(ScreenReachTest&)> reach;
};

class ScreenReachTest : public ServiceWindowTest {
  public:
    void choose(const char* item) { ServiceWindowTest::choose(item); }
    void click(const char* name) { ServiceWindowTest::click(name); }
    // Retracted, so that the test question may open.
    void retract() {
        choose("Retract1");
        click("B_Retr_Yes");
        pollTwice();
        tick();
    }
    std::vector<ScreenCase> cases() {
        return {
            {"calibrate question", "Panel_calibrate", "Panel_calibrate",
             [](auto& t) { t.choose("Calibrate1"); }},
            {"factory question", "Panel_factory", "Panel_factory",
             [](auto& t) { t.choose("FactoryDefault1"); }},
            {"retract question", "Panel_Retract", "Panel_Retract",
             [](auto& t) { t.choose("Retract1"); }},
            {"test question", "Panel_test", "Panel_test",
             [](auto& t) {
                 t.retract();
                 t.choose("estelements1");
             }},
            {"test active", "Panel_T_act", "pnBlue",
             [](auto& t) {
                 t.retract();
                 t.choose("estelements1");
                 t.click("B_Test_Yes");
             }},
            {"element editor", "Panel_Menu", "Panel_Menu",
             [](auto& t) { t.choose("ModifyElemets1"); }},
            {"editor's store question", "pnSaveQuestion", "Panel_Menu",
             [](auto& t) {
                 t.choose("ModifyElemets1");
                 t.click("B_up_3");
                 t.click("b_save");
             }},
            {"question over the editor", "Panel_calibrate", "Panel_calibrate",
             [](auto& t) {
                 t.choose("ModifyElemets1");
                 t.choose("Calibrate1");
             }},
        };
    }
    QWidget* focus() { return QApplication::focusWidget(); }
    QString focusName() { return focus() ? focus()->objectName() : QStringLiteral("(none)"); }
    // Every button on the front panel an operator cannot reach now, pressed by a key sent
    // straight to it and by its accessible action: the line must stay silent.
    void pressEverythingOutOfReach(const char* what) {
        const auto from = mark();
        for (QAbstractButton* b : find("pnBlue")->findChildren<QAbstractButton*>()) {
            if (ServiceScreens::reachable(b)) continue;
            QTest::keyClick(b, Qt::Key_Space);
            QTest::keyClick(b, Qt::Key_Return);
            if (QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
                a && a->actionInterface())
                a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
        settle();
        EXPECT_TRUE(commandsSince(from).empty() || commandsSince(from) == std::vector<int>{1})
            << what;
        EXPECT_TRUE(codesSince(from).empty()) << what;
        EXPECT_EQ(dialogs->inputs, 0) << what;
    }
};

TEST_F(ScreenReachTest, everyScreenTakesTheFocusTabStaysOnItAndNothingOutOfReachActs) {
    for (const ScreenCase& c : cases()) {
        window.reset();
        startTuned();
        showActive();
        c.reach(*this);
        QWidget* screen = find(c.screen);
        ASSERT_TRUE(ServiceScreens::reachable(screen)) << c.what;
        EXPECT_TRUE(screen->isAncestorOf(focus())) << c.what << ": " << focusName().toStdString();
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(focus(), Qt::Key_Tab);
            EXPECT_TRUE(find(c.tabWithin)->isAncestorOf(focus()))
                << c.what << ", Tab " << i << ": " << focusName().toStdString();
            EXPECT_TRUE(ServiceScreens::reachable(focus())) << c.what;
        }
        pressEverythingOutOfReach(c.what);
    }
}

TEST_F(ScreenReachTest, escapeAnswersNoOrLeavesTheEditorTheWayItsBottomRowOffers) {
    struct Row {
        const char* what;
        std::function<void(ScreenReachTest&)> reach;
        std::vector<int> keys;
        const char* gone;
        sim::Screen home = sim::Screen::Main;
    };
    const Row rows[] = {
        {"calibrate", [](auto& t) { t.choose("Calibrate1"); }, {5, 13}, "Panel_calibrate"},
        {"factory", [](auto& t) { t.choose("FactoryDefault1"); }, {5, 13}, "Panel_factory"},
        {"retract", [](auto& t) { t.choose("Retract1"); }, {5}, "Panel_Retract"},
        {"test",
         [](auto& t) {
             t.retract();
             t.choose("estelements1");
         },
         {5},
         "Panel_test",
         sim::Screen::Retracted},
        {"editor unchanged", [](auto& t) { t.choose("ModifyElemets1"); }, {8, 8, 13}, "Panel_Menu"},
        {"editor's store question",
         [](auto& t) {
             t.choose("ModifyElemets1");
             t.click("B_up_3");
             t.click("b_save");
         },
         {8},
         "Panel_Menu"},
    };
    for (const Row& row : rows) {
        window.reset();
        startTuned();
        showActive();
        row.reach(*this);
        const auto from = mark();
        QTest::keyClick(focus(), Qt::Key_Escape);
        settle();
        EXPECT_EQ(codesSince(from), row.keys) << row.what;
        EXPECT_FALSE(shown(row.gone)) << row.what;
        EXPECT_TRUE(frontKeysShown()) << row.what;
        EXPECT_EQ(simulator->model().controller().screen(), row.home) << row.what;
        // The focus is back on a key of the front panel, not left on what went.
        EXPECT_TRUE(qobject_cast<KeyButton*>(focus()))
            << row.what << ": " << focusName().toStdString();
        EXPECT_TRUE(ServiceScreens::reachable(focus())) << row.what;
    }
    // Once a length changed, only "Save" leads out: Escape does nothing.
    window.reset();
    startTuned();
    showActive();
    choose("ModifyElemets1");
    click("B_up_3");
    const auto from = mark();
    QTest::keyClick(focus(), Qt::Key_Escape);
    settle();
    EXPECT_TRUE(codesSince(from).empty());
    EXPECT_TRUE(shown("b_save"));
}

TEST_F(ScreenReachTest, afterSaveNeitherTabNorSpaceNorYesCanRetuneTheAntenna) {
    startTuned();
    showActive();
    choose("ModifyElemets1");
    click("B_up_3");
    click("b_save");
    ASSERT_EQ(simulator->model().controller().screen(), sim::Screen::SaveQuestion);
    EXPECT_EQ(focusName(), "B_yes");
    // Space on every stop of a whole Tab round but the answers: nothing reaches the
    // controller, which stays on its store screen (the lengths are read-only boxes).
    auto from = mark();
    QStringList stops;
    for (int i = 0; i < 12; ++i) {
        QTest::keyClick(focus(), Qt::Key_Tab);
        stops << focusName();
        ASSERT_TRUE(find("Panel_Menu")->isAncestorOf(focus())) << focusName().toStdString();
        if (focusName() != "B_yes" && focusName() != "B_no")
            QTest::keyClick(focus(), Qt::Key_Space);
    }
    settle();
    EXPECT_TRUE(stops.contains("B_no")) << stops.join(' ').toStdString();
    EXPECT_TRUE(codesSince(from).empty());
    EXPECT_EQ(simulator->model().controller().screen(), sim::Screen::SaveQuestion);
    // "YES" then stores, from the store screen: the trim is kept.
    while (focusName() != "B_yes") QTest::keyClick(focus(), Qt::Key_Tab);
    from = mark();
    QTest::keyClick(focus(), Qt::Key_Space);
    settle();
    EXPECT_EQ(codesSince(from), std::vector<int>{6});
    EXPECT_EQ(simulator->model().controller().screen(), sim::Screen::Main);
    EXPECT_EQ(QString::fromStdString(lengthText(simulator->model().controller().lengths()[0])),
              find<QLineEdit>("Driver")->text());
}

TEST_F(ScreenReachTest, questionsWaitsAndThePortPromptAreMetAsMessageBoxes) {
    struct Expected {
        const char* screen;
        QAccessible::Role role;
        const char* name;
        const char* description;
    };
    const std::pair<const char*, Expected> kQuestions[] = {
        {"Calibrate1",
         {"Panel_calibrate", QAccessible::AlertMessage, "Want to calibrate elements?",
          "Press Yes to confirm"}},
        {"FactoryDefault1",
         {"Panel_factory", QAccessible::AlertMessage, "Recall factory defaults?",
          "Band Data will be resetted."}},
        {"Retract1",
         {"Panel_Retract", QAccessible::AlertMessage, "Want to retract elements?",
          "Press Yes to confirm"}},
    };
    startTuned();
    showActive();
    for (const auto& [item, e] : kQuestions) {
        choose(item);
        QAccessibleInterface* a = accessible(find(e.screen));
        EXPECT_EQ(a->role(), e.role) << e.screen;
        EXPECT_EQ(a->text(QAccessible::Name), e.name) << e.screen;
        EXPECT_EQ(a->text(QAccessible::Description), e.description) << e.screen;
        // The focused button lies inside it, so a screen reader enters the question.
        QAccessibleInterface* focused = accessible(focus());
        EXPECT_TRUE(focused->state().focused) << e.screen;
        EXPECT_EQ(focused->parent()->object(), find(e.screen)) << e.screen;
    }
    click("Press_No");

    choose("ModifyElemets1");
    EXPECT_EQ(accessible(find("Panel_Menu"))->role(), QAccessible::Dialog);
    click("B_up_3");
    click("b_save");
    QAccessibleInterface* save = accessible(find("pnSaveQuestion"));
    EXPECT_EQ(save->role(), QAccessible::AlertMessage);
    EXPECT_EQ(save->text(QAccessible::Name), "Do you want to save data?");
    EXPECT_EQ(save->text(QAccessible::Description), "Press YES to memorize");
    EXPECT_EQ(accessible(focus())->parent()->object(), find("pnSaveQuestion"));
    click("B_no");

    // The wait screen itself has the focus while it lasts, its text as its name.
    choose("Calibrate1");
    QString waitName, waitDescription, focusedDuringWait;
    bool waitFocused = false;
    duringPause = [&] {
        if (!shown("Calibrate_of_course") || !focusedDuringWait.isEmpty()) return;
        focusedDuringWait = focusName();
        QAccessibleInterface* a = accessible(focus());
        waitFocused = a->state().focused && a->role() == QAccessible::AlertMessage;
        waitName = a->text(QAccessible::Name);
        waitDescription = a->text(QAccessible::Description);
    };
    click("yes_cal");
    duringPause = nullptr;
    EXPECT_EQ(focusedDuringWait, "Calibrate_of_course");
    EXPECT_TRUE(waitFocused);
    EXPECT_EQ(waitName, "Calibrating elements");
    EXPECT_TRUE(waitDescription.startsWith("Please wait...")) << waitDescription.toStdString();
    EXPECT_EQ(event(), "Calibration done");
    EXPECT_TRUE(qobject_cast<KeyButton*>(focus())) << focusName().toStdString();
}

TEST_F(ScreenReachTest, eachFunctionsEndIsTold) {
    startTuned();
    choose("Retract1");
    click("B_Retr_Yes");
    EXPECT_EQ(event(), "Retraction done");
    pollTwice();
    tick();
    choose("estelements1");
    click("B_Test_Yes");
    EXPECT_EQ(event(), "Elements moved: TEST ACTIVE");
    click("B_testact_Yes");
    EXPECT_EQ(event(), "Test done");
}

TEST_F(ScreenReachTest, thePortPromptTakesTheFocusAndReadsWhyThePortFailed) {
    start(Far::Script);
    pollTwice();
    showActive();
    wire.openResult = [](const std::string&) { return 2; };
    window->SelectPort(2);
    QCoreApplication::processEvents();
    ASSERT_TRUE(shown("Panel_Chiuso"));
    QAccessibleInterface* a = accessible(find("Panel_Chiuso"));
    EXPECT_EQ(a->role(), QAccessible::AlertMessage);
    EXPECT_EQ(a->text(QAccessible::Name), "SELECT THE VALID PORT");
    EXPECT_FALSE(text("lPortError").isEmpty());
    EXPECT_EQ(a->text(QAccessible::Description), text("lPortError").simplified());
    EXPECT_EQ(focusName(), "Panel_Chiuso");
    EXPECT_TRUE(a->state().focused);
    // The display under it is out of reach: Ctrl+F asks for no frequency.
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(dialogs->inputs, 0);
    EXPECT_FALSE(find("lFreq")->isEnabled());
}

TEST_F(ScreenReachTest, underTheSetupPanelTheFrontPanelIsOutOfReach) {
    startTuned();
    showActive();
    click("btImposta");
    ASSERT_FALSE(find("pnImposta")->isHidden());
    // Once the loop is back: the panel is shown before it is raised over the front panel.
    QCoreApplication::processEvents();
    EXPECT_FALSE(find("pnBlue")->isVisible());
    QStringList walked;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(focus() ? focus() : window.get(), Qt::Key_Tab);
        walked << focusName();
        EXPECT_FALSE(find("pnBlue")->isAncestorOf(focus())) << focusName().toStdString();
    }
    controller.received.clear();
    const auto from = mark();
    QTest::keyClick(window.get(), Qt::Key_3, Qt::ControlModifier);
    accessible(find("SpeedButton7"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    settle();
    EXPECT_TRUE(codesSince(from).empty());
    // Closed, the panel gives the front panel back, keys and all.
    click("btChiudi");
    QCoreApplication::processEvents();
    EXPECT_TRUE(find("pnBlue")->isVisible());
    EXPECT_TRUE(ServiceScreens::reachable(find("SpeedButton7")));
}

// A stand-in for the accessibility bridge: an application filter installed before the wait
// began, hearing keys at the window as the bridge does.
class WindowKeyListener : public QObject {
  public:
    int keys = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress && event->spontaneous() &&
            qobject_cast<QWindow*>(watched))
            ++keys;
        return false;
    }
};

TEST_F(ScreenReachTest, keysDuringAWaitReachTheWindowButNoControl) {
    startTuned();
    showActive();
    choose("Calibrate1");
    WindowKeyListener bridge;
    qApp->installEventFilter(&bridge);
    int sent = 0;
    duringPause = [&] {
        if (sent || !shown("Calibrate_of_course")) return;
        QWindow* w = window->windowHandle();
        for (const QKeyCombination keys :
             {QKeyCombination(Qt::Key_Space), QKeyCombination(Qt::Key_Tab),
              QKeyCombination(Qt::Key_Escape), QKeyCombination(Qt::Key_Return),
              Qt::CTRL | Qt::Key_3, Qt::CTRL | Qt::Key_F}) {
            QTest::keyClick(w, keys.key(), keys.keyboardModifiers());
            ++sent;
        }
    };
    const auto from = mark();
    click("yes_cal");
    duringPause = nullptr;
    qApp->removeEventFilter(&bridge);
    ASSERT_EQ(sent, 6);
    EXPECT_EQ(bridge.keys, sent);
    EXPECT_EQ(codesSince(from), (std::vector<int>{6, 13, 13}));
    EXPECT_EQ(dialogs->inputs, 0);
    // Keys do reach the window's controls again once the wait is over.
    const auto after = mark();
    QTest::keyClick(window->windowHandle(), Qt::Key_3, Qt::ControlModifier);
    settle();
    EXPECT_EQ(codesSince(after), (std::vector<int>{5, 13}));
}

}  // namespace
}  // namespace kt6
