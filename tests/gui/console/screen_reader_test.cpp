// What a screen reader meets and hears without asking: the lit band key as a key of its own,
// named lit; the link's loss and return and the elements' motion read out once at each change;
// the status bar telling assistive technology only what changed.
#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>

#include "console/panel/lamp.h"
#include "console/status/status_bar.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

class ScreenReaderTest : public WindowFixture {
  protected:
    void startOnline() {
        writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
        start();
        tick(3);
        ASSERT_TRUE(window->poll().ControllerOnline());
    }
    // What the status bar asked a screen reader to read out, since the last call.
    QStringList spoken() {
        QStringList out;
        for (const QList<QVariant>& call : *spoken_) out << call.at(0).toString();
        spoken_->clear();
        return out;
    }
    void listen() {
        spoken_ =
            std::make_unique<QSignalSpy>(window->consoleStatusBar(), &ConsoleStatusBar::spoken);
    }
    // The interface assistive technology finds focused, walking the window.
    QObject* focusedForAssistiveTechnology() {
        for (QAccessibleInterface* node : listedToAssistiveTechnology()) {
            if (node->state().focused && !node->state().invisible) return node->object();
        }
        return nullptr;
    }

    std::unique_ptr<QSignalSpy> spoken_;
};

// --- the lit band key ---

TEST_F(ScreenReaderTest, theLitBandKeyIsMetByTabAndSaysItIsLit) {
    startOnline();  // 7157 kHz: the 40m key is lit
    showActive();
    ASSERT_EQ(find("BLED_ON1")->pos(), find("SpeedButton5")->pos());
    EXPECT_EQ(accessibleName(find("SpeedButton5")), "40m band, lit");
    EXPECT_EQ(accessibleName(find("SpeedButton7")), "20m band");
    // The key under the lamp is what a screen reader meets, focused when Tab reaches it; the
    // lamp over it stands aside.
    find("SpeedButton5")->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(focusedForAssistiveTechnology(), find("SpeedButton5"));
    const QStringList seen = shownToAssistiveTechnology();
    EXPECT_TRUE(seen.contains("40m band, lit"));
    EXPECT_FALSE(seen.contains("Band lamp: 40m"));

    find<QAbstractButton>("SpeedButton7")->click();
    settle();
    EXPECT_EQ(accessibleName(find("SpeedButton7")), "20m band, lit");
    EXPECT_EQ(accessibleName(find("SpeedButton5")), "40m band");

    // Under a function screen the keys are gone and the lamp is met for itself.
    find<QAbstractButton>("Button2")->click();
    EXPECT_TRUE(shownToAssistiveTechnology().contains("Band lamp: 20m"));
    find<QAbstractButton>("Button3")->click();

    // No band lit: no key says so.
    controller.record.frequency = 0;
    tick(3);
    for (const char* key : {"SpeedButton5", "SpeedButton7"})
        EXPECT_FALSE(accessibleName(find(key)).contains("lit")) << key;
}

TEST_F(ScreenReaderTest, theMotionBlinkNeverRenamesTheLitKey) {
    controller.record.moving = true;
    startOnline();
    bool lampHidden = false;
    for (int i = 0; i < 20; ++i) {
        window->tmTimerTimer();
        lampHidden = lampHidden || !shown("BLED_ON1");
        EXPECT_EQ(accessibleName(find("SpeedButton5")), "40m band, lit") << i;
    }
    EXPECT_TRUE(lampHidden);  // the blink did hide the lamp meanwhile
}

// --- read out at a change, and only then ---

TEST_F(ScreenReaderTest, linkLossAndReturnAreReadOutOnceEach) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    start();
    listen();
    tick(3);
    EXPECT_FALSE(spoken().join(" ").contains("Link"));  // the first answer is no return

    wire.unplug();
    window->tmTimerTimer();
    ASSERT_TRUE(window->portLost());
    EXPECT_EQ(spoken(), QStringList{"Link lost: COM1"});
    tick(5);
    EXPECT_TRUE(spoken().isEmpty());

    wire.plugIn();
    window->tmRetryTimer();
    tick(2);
    EXPECT_EQ(spoken(), QStringList{"Link back: COM1 online, firmware 1.13, 3 drivers"});
    tick(5);
    EXPECT_TRUE(spoken().isEmpty());

    // A controller that goes silent is lost too.
    controller.answering = false;
    tick(40);
    EXPECT_EQ(spoken(), QStringList{"Link lost: COM1"});
}

TEST_F(ScreenReaderTest, motionIsReadOutWhenItStartsAndStopsNotAtEveryReply) {
    startOnline();
    listen();
    controller.record.moving = true;
    tick(2);
    EXPECT_EQ(spoken(), QStringList{"Elements moving"});
    tick(6);
    EXPECT_TRUE(spoken().isEmpty());
    controller.record.moving = false;
    tick(2);
    EXPECT_EQ(spoken(), QStringList{"Elements stopped"});
    tick(6);
    EXPECT_TRUE(spoken().isEmpty());
}

TEST_F(ScreenReaderTest, aCountdownUpdatesItsEventQuietlyAndTheNextEventIsReadOut) {
    start();
    listen();
    ConsoleStatusBar* bar = window->consoleStatusBar();
    bar->announce("Calibrating elements: 26 s left");
    bar->announce("Calibrating elements: 25 s left");
    EXPECT_EQ(bar->eventText(), "Calibrating elements: 25 s left");
    EXPECT_EQ(accessibleName(find("sbEvents")), "Events: Calibrating elements: 25 s left");
    bar->announce("Calibration done");
    // Told again, the same event is read again.
    bar->announce("Calibration done");
    EXPECT_EQ(spoken(), (QStringList{"Calibrating elements: 26 s left", "Calibration done",
                                     "Calibration done"}));
    EXPECT_EQ(accessible(find("sbEvents"))->role(), QAccessible::Notification);
}

TEST_F(ScreenReaderTest, theStatusBarRetellsAssistiveTechnologyOnlyWhatChanged) {
    startOnline();
    QSignalSpy retold(window->consoleStatusBar(), &ConsoleStatusBar::fieldRetold);
    tick(10);
    EXPECT_EQ(retold.count(), 0);  // polls that found nothing new

    // Silent: each change of the link's text or tip is told once, nothing else.
    controller.answering = false;
    QString name = accessibleName(find("sbLink"));
    QString tip = find("sbLink")->accessibleDescription();
    int changes = 0;
    for (int i = 0; i < 12; ++i) {
        tick();
        const QString nowName = accessibleName(find("sbLink"));
        const QString nowTip = find("sbLink")->accessibleDescription();
        changes += (nowName != name) + (nowTip != tip);
        name = nowName;
        tip = nowTip;
    }
    ASSERT_GT(changes, 1);
    int linkRetold = 0;
    for (const QList<QVariant>& call : retold)
        linkRetold += call.at(0).value<QLabel*>() == find<QLabel>("sbLink");
    EXPECT_EQ(linkRetold, changes);
}

}  // namespace
}  // namespace kt6
