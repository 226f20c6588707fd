// The window on a COM port mapped to the network: the console's own serial layer picks the
// network transport and opens it on a thread of its own, so the window answers everything while
// it connects; the outcome shows as it always has, a failure's reason under "SELECT THE VALID
// PORT", and a newer choice or a closed window leaves the earlier open unsaid and let go of.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "console/status/status_bar.h"
#include "support/fake_dialogs.h"
#include "support/fake_rig_server.h"
#include "support/loopback_controller.h"
#include "support/loopback_listener.h"
#include "support/wait_for.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::LoopbackListener;

// Counts the paint events a widget gets.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

class NetworkPortWindowTest : public testing::WindowFixture {
  protected:
    // The window made on the console's own serial layer, its port not yet opened.
    void start(const std::string& settings) {
        writeSettings(settings);
        far = Far::Device;
        window = std::make_unique<FmMain>(baseOptions());
    }
    QString linkText() { return window->consoleStatusBar()->linkText(); }
    QString linkAccessibleName() {
        auto* field = window->consoleStatusBar()->findChild<QLabel*>(QStringLiteral("sbLink"));
        EXPECT_TRUE(field);
        QAccessibleInterface* a = field ? QAccessible::queryAccessibleInterface(field) : nullptr;
        return a ? a->text(QAccessible::Name) : QString();
    }
    bool checked(const char* item) {
        auto* action = window->findChild<QAction*>(QString::fromLatin1(item));
        EXPECT_TRUE(action) << item;
        return action && action->isChecked();
    }
    // Runs the window's loop until the chosen port's outcome is in: open, or its reason shown.
    bool waitForOutcome() {
        return QTest::qWaitFor(
            [&] { return window->port().IsOpen() || !text("lPortError").isEmpty(); }, 10000);
    }
    static std::string url(const char* scheme, int port) {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(port);
    }
};

TEST_F(NetworkPortWindowTest, aRefusedConnectionShowsHostPortAndReason) {
    LoopbackListener gone;
    const int port = gone.port();
    gone.close();
    start("[General]\nSerialport=2\n[Ports]\nCOM2=" + url("tcp", port) + "\n");
    window->SelectPort(2);
    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_TRUE(
        text("lPortError").startsWith(QStringLiteral("127.0.0.1:%1: connection refused").arg(port)))
        << text("lPortError").toStdString();
    EXPECT_EQ(window->consoleStatusBar()->eventText(),
              QStringLiteral("Port COM2: connection refused"));
    EXPECT_EQ(text("lStatus"), QStringLiteral("Stato: non connesso (porta chiusa)."));
    EXPECT_TRUE(shown("COM_VERIFY"));
    EXPECT_TRUE(checked("com2"));
}

TEST_F(NetworkPortWindowTest, aSilentRfc2217ServerIsGivenUpOnWithItsReasonWhileTheWindowRuns) {
    LoopbackListener silent;
    const QString address = QStringLiteral("127.0.0.1:%1").arg(silent.port());
    start("[General]\nSerialport=2\n[Ports]\nCOM2=" + url("rfc2217", silent.port()) + "\n");
    // The start opens COM2 in the background too; the menu's choice below replaces it.
    window->FormActivate();
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    PaintCounter painted;
    window->consoleStatusBar()
        ->findChild<QLabel*>(QStringLiteral("sbLink"))
        ->installEventFilter(&painted);

    bool ticked = false;
    QTimer::singleShot(0, window.get(), [&] { ticked = true; });
    window->SelectPort(2);
    // Back at once, saying what goes on, in words and to assistive technology alike.
    const QString connecting = QStringLiteral("COM2: connecting to %1...").arg(address);
    EXPECT_EQ(linkText(), connecting);
    EXPECT_TRUE(linkAccessibleName().contains(connecting)) << linkAccessibleName().toStdString();
    EXPECT_EQ(text("lStatus"), QStringLiteral("Stato: in connessione..."));
    EXPECT_EQ(window->PortNumber(), 2);
    EXPECT_FALSE(window->port().IsOpen());

    // The loop runs while the server says nothing: a timer fires and the status bar repaints.
    painted.paints = 0;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticked && painted.paints > 0; }, 2000));
    EXPECT_EQ(linkText(), connecting);

    ASSERT_TRUE(waitForOutcome());
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_TRUE(text("lPortError").contains(QStringLiteral("telnet(rfc2217)")))
        << text("lPortError").toStdString();
    EXPECT_TRUE(linkText().startsWith(QStringLiteral("COM2 closed: "))) << linkText().toStdString();
    EXPECT_TRUE(linkAccessibleName().contains(linkText()));
}

TEST_F(NetworkPortWindowTest, aTcpPortThatOpensAMomentLaterPollsAndGoesOnline) {
    // The fixture's scripted controller's record, answered from behind a network port.
    testing::LoopbackController loopback(controller.record);
    start("[General]\nSerialport=2\n[Ports]\nCOM2=" + loopback.url() + "\n");
    window->SelectPort(2);
    EXPECT_TRUE(linkText().startsWith(QStringLiteral("COM2: connecting to 127.0.0.1:")));
    EXPECT_FALSE(window->port().IsOpen());

    ASSERT_TRUE(waitForOutcome());
    EXPECT_TRUE(window->port().IsOpen());
    EXPECT_EQ(window->PortNumber(), 2);
    EXPECT_EQ(window->port().DevicePath(), loopback.url());
    EXPECT_TRUE(text("lPortError").isEmpty());
    EXPECT_FALSE(shown("COM_VERIFY"));
    EXPECT_TRUE(checked("com2"));
    EXPECT_EQ(text("lStatus"), QStringLiteral("Stato: in connessione..."));
    EXPECT_EQ(linkText(), QStringLiteral("COM2: no answer"));

    // The poll goes out on the adopted port and the controller's reply brings the link online.
    ASSERT_TRUE(pollInRealTime([&] { return window->poll().ControllerOnline(); }))
        << loopback.statusRequests() << " status requests answered; " << linkText().toStdString();
    EXPECT_GT(loopback.statusRequests(), 0u);
    EXPECT_EQ(linkText(), QStringLiteral("COM2 online, firmware 1.13, 3 drivers"));
}

// What the controller on the old port said is not shown as live while the next one connects.
TEST_F(NetworkPortWindowTest, whileAPortConnectsTheOldPortsDisplayIsGoneAndTheTipSaysWhy) {
    // The fixture's scripted controller's record, answered from behind a network port.
    testing::LoopbackController loopback(controller.record);
    LoopbackListener silent;
    start("[General]\nSerialport=2\n[Ports]\nCOM2=" + loopback.url() +
          "\nCOM3=" + url("rfc2217", silent.port()) + "\n");
    window->SelectPort(2);
    ASSERT_TRUE(waitForOutcome());
    ASSERT_TRUE(pollInRealTime([&] { return !text("lFreq").isEmpty(); }));

    window->SelectPort(3);
    EXPECT_TRUE(text("lFreq").isEmpty());
    EXPECT_FALSE(window->poll().ControllerOnline());
    const QString tip = window->consoleStatusBar()->findChild<QLabel*>("sbLink")->toolTip();
    EXPECT_TRUE(tip.startsWith(
        QStringLiteral("COM3 is %1.").arg(QString::fromStdString(url("rfc2217", silent.port())))))
        << tip.toStdString();
    EXPECT_TRUE(tip.contains(QStringLiteral("connecting"))) << tip.toStdString();
}

TEST_F(NetworkPortWindowTest, aChoiceMadeWhileAnotherConnectsWinsAndTheEarlierIsLetGoUnsaid) {
    LoopbackListener silent;
    // The fixture's scripted controller's record, answered from behind a network port.
    testing::LoopbackController loopback(controller.record);
    start("[General]\nSerialport=3\n[Ports]\nCOM2=" + url("rfc2217", silent.port()) +
          "\nCOM3=" + loopback.url() + "\n");
    window->SelectPort(2);
    const int first = silent.accept(5s);
    ASSERT_GE(first, 0);

    window->SelectPort(3);
    // The first open is given up at its next step, long before its 3 s would end it.
    EXPECT_TRUE(LoopbackListener::closedByPeer(first, 2s));
    ASSERT_TRUE(waitForOutcome());
    for (int tick = 0; tick < 5; ++tick) window->tmTimerTimer();
    EXPECT_EQ(window->PortNumber(), 3);
    EXPECT_EQ(window->port().DevicePath(), loopback.url());
    EXPECT_TRUE(text("lPortError").isEmpty());
    EXPECT_FALSE(window->consoleStatusBar()->eventText().startsWith(QStringLiteral("Port COM2")));
    EXPECT_EQ(linkText(), QStringLiteral("COM3: no answer"));
    EXPECT_TRUE(checked("com3"));
    EXPECT_FALSE(checked("com2"));
}

TEST_F(NetworkPortWindowTest, aWindowClosedWhileAPortConnectsLetsGoOfItWithoutWaiting) {
    LoopbackListener silent;
    start("[General]\nSerialport=2\n[Ports]\nCOM2=" + url("rfc2217", silent.port()) + "\n");
    window->FormActivate();
    window->show();
    const int connection = silent.accept(5s);
    ASSERT_GE(connection, 0);
    window->close();
    // Nothing is joined here: the open's thread ends on its own, writing only into what it
    // shares with the window's port session.
    window.reset();
    EXPECT_TRUE(LoopbackListener::closedByPeer(connection, 2s));
}

TEST_F(NetworkPortWindowTest, aLostNetworkPortIsRetriedInTheBackgroundUntilTheHostTakesItAgain) {
    auto listener = std::make_unique<LoopbackListener>();
    const int port = listener->port();
    start("[General]\nSerialport=2\n[Ports]\nCOM2=" + url("tcp", port) + "\n");
    window->SelectPort(2);
    ASSERT_TRUE(waitForOutcome());
    ASSERT_EQ(window->PortNumber(), 2);
    ASSERT_TRUE(window->port().IsOpen());

    // The listener goes: the connection it never accepted is reset, which is a device loss.
    listener.reset();
    ASSERT_TRUE(testing::waitFor(
        [&] {
            window->tmPollTimer();
            return window->portLost();
        },
        2s));

    {
        LoopbackListener down(LoopbackListener::Mode::Unanswering, port);
        ASSERT_EQ(down.port(), port);
        // Retries of a host that answers nothing wait in the background; the window runs on.
        for (int retry = 0; retry < 6; ++retry) {
            bool ran = false;
            QTimer::singleShot(0, window.get(), [&] { ran = true; });
            window->tmRetryTimer();
            EXPECT_TRUE(QTest::qWaitFor([&] { return ran; }, 1000)) << "retry " << retry;
        }
        EXPECT_TRUE(window->portLost());
        EXPECT_EQ(linkText(), QStringLiteral("COM2: device lost, retrying"));
    }

    // The host takes connections again: a later retry reopens the port.
    LoopbackListener back(LoopbackListener::Mode::Silent, port);
    ASSERT_EQ(back.port(), port);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            window->tmRetryTimer();
            return !window->portLost();
        },
        10000));
    EXPECT_EQ(window->PortNumber(), 2);
    EXPECT_TRUE(window->port().IsOpen());
}

}  // namespace
}  // namespace kt6
