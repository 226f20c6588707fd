// The status bar and the display an operator can trust: link, radio and events fields, no
// value shown before the controller said it, dimming while the link is silent.
#include <QCoreApplication>
#include <QTest>
#include <cerrno>

#include "console/colours.h"
#include "console/status/link_status.h"
#include "console/status/status_bar.h"
#include "link/comm32.h"
#include "link/serial_network.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

class StatusBarTest : public WindowFixture {
  protected:
    QColor colourOf(const char* name) { return textColourOf(find(name)); }
};

TEST_F(StatusBarTest, barSitsBelowThePanelWhichKeepsItsSizeLinkAndRadioAboveTheEvents) {
    start();
    window->show();
    auto* bar = window->consoleStatusBar();
    EXPECT_EQ(window->centralWidget()->size(), QSize(623, 330));
    EXPECT_EQ(window->width(), 623);
    EXPECT_GE(bar->geometry().top(), window->centralWidget()->geometry().bottom());
    EXPECT_EQ(bar->height(), ConsoleStatusBar::kHeight);
    QWidget* link = find("sbLink");
    QWidget* radio = find("sbRadio");
    QWidget* events = find("sbEvents");
    EXPECT_EQ(link->y(), radio->y());
    EXPECT_GT(radio->x(), link->geometry().right());
    EXPECT_GT(events->y(), link->geometry().bottom());
    for (QWidget* field : {link, radio, events}) {
        const QRect inBar(field->mapTo(bar, QPoint(0, 0)), field->size());
        EXPECT_TRUE(bar->rect().contains(inBar)) << field->objectName().toStdString();
    }
}

TEST_F(StatusBarTest, everyTextShowsWholeAtTheWindowsWidth) {
    writeSettings("[OmniRig]\nRig1=1\nRig2=0\n[Ports]\nCOM1=/dev/ttyUSB0\n");
    wire.openResult = [](const std::string&) { return EACCES; };
    start();
    window->show();
    auto whole = [&](const char* name) {
        // The layout as it will be painted.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        auto* field = find<QLabel>(name);
        return field->contentsRect().width() >=
               field->fontMetrics().horizontalAdvance(field->text());
    };
    auto allWhole = [&] {
        for (const char* name : {"sbLink", "sbRadio", "sbEvents"}) {
            EXPECT_TRUE(whole(name)) << name << ": " << find<QLabel>(name)->text().toStdString();
        }
    };
    // A port that cannot be opened, and the radio waiting for the controller.
    tick(2);
    ASSERT_EQ(link(),
              "COM1 closed: /dev/ttyUSB0: permission denied (add yourself to the dialout group)");
    ASSERT_EQ(radio(), "Radio 1: waiting for the controller");
    ASSERT_EQ(event(), "Port COM1: permission denied (add yourself to the dialout group)");
    allWhole();

    // Online, with the radio beyond the antenna's bands.
    wire.openResult = nullptr;
    rigServer.set(1, 145'000'000.0);
    window->SelectPort(1);
    tick(3);
    ASSERT_EQ(link(), "COM1 online, firmware 1.13, 3 drivers");
    ASSERT_EQ(radio(), "Radio 1: 145.000000 MHz, outside the antenna's range, not followed");
    allWhole();

    // The radio out of reach.
    rigServer.reason[0] = "localhost:4532: connection refused";
    rigServer.statusReport(1, RigStatus::NotResponding);
    tick();
    ASSERT_EQ(radio(), "Radio 1: not reachable (localhost:4532: connection refused)");
    window->announce("Backup saved to /home/operator/Documents/KT6 2024-05-01.skarnel");
    allWhole();
}

TEST_F(StatusBarTest, eachFieldsAccessibleNameCarriesItsTextAndTheTipStaysTheDescription) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n[Ports]\nCOM1=/dev/ttyUSB0\n");
    start();
    tick(2);
    EXPECT_EQ(find("sbLink")->accessibleName(), "Link: COM1 online, firmware 1.13, 3 drivers");
    EXPECT_EQ(find("sbRadio")->accessibleName(), "Radio: No radio");
    EXPECT_EQ(find("sbEvents")->accessibleName(), "Events");
    EXPECT_EQ(find("sbLink")->accessibleDescription(), tip("sbLink"));
    controller.answering = false;
    tick(4);
    EXPECT_EQ(find("sbLink")->accessibleName(), "Link: " + link());
    EXPECT_TRUE(link().contains("no answer")) << link().toStdString();
    window->announce("Backup saved to /tmp/x.skarnel");
    EXPECT_EQ(find("sbEvents")->accessibleName(), "Events: Backup saved to /tmp/x.skarnel");
    window->clearEvent();
    EXPECT_EQ(find("sbEvents")->accessibleName(), "Events");
    EXPECT_EQ(event(), "");
}

TEST_F(StatusBarTest, linkFieldForOnlineSilentAndClosedPorts) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n[Ports]\nCOM1=/dev/ttyUSB0\n");
    controller.answering = false;
    start();
    tick(2);
    EXPECT_EQ(link(), "COM1: no answer");
    EXPECT_TRUE(tip("sbLink").contains("/dev/ttyUSB0"));

    controller.answering = true;
    tick(2);
    EXPECT_EQ(link(), "COM1 online, firmware 1.13, 3 drivers");
    EXPECT_TRUE(tip("sbLink").contains("/dev/ttyUSB0"));
    // The status line of the top strip is still written as before.
    EXPECT_EQ(text("lStatus"), "OK Vrenk v1.13 DRVs=3");

    controller.answering = false;
    tick(43);  // 17.2 s without a reply: offline since the 39th
    EXPECT_FALSE(window->poll().ControllerOnline());
    EXPECT_EQ(link(), "COM1: no answer for 17 s");
    EXPECT_EQ(text("lStatus"), "Stato: in connessione...");

    wire.openResult = [](const std::string&) { return EACCES; };
    window->SelectPort(1);
    EXPECT_EQ(link(),
              "COM1 closed: /dev/ttyUSB0: permission denied (add yourself to the dialout group)");
#ifndef _WIN32
    // The command that adds the operator to the group is a POSIX system's.
    EXPECT_TRUE(tip("sbLink").contains("usermod"));
#endif
    EXPECT_EQ(event(), "Port COM1: permission denied (add yourself to the dialout group)");

    wire.openResult = [](const std::string&) { return ENOENT; };
    window->SelectPort(5);
    EXPECT_EQ(event(), "Port COM5: no such device");
    // An unmapped COM5 is the system's own fifth port.
    EXPECT_EQ(link(),
              QString::fromStdString("COM5 closed: " + defaultComDevice(5) + ": no such device"));
    EXPECT_EQ(text("lStatus"), "Stato: non connesso (porta chiusa).");
}

TEST_F(StatusBarTest, nothingIsShownAsKnownBeforeTheFirstReplyOnAPort) {
    controller.answering = false;
    start();
    tick(5);
    EXPECT_FALSE(shown("Panel_Elem_Retract"));
    EXPECT_TRUE(shown("pnDisplay"));
    EXPECT_TRUE(text("lFreq").isEmpty());
    EXPECT_TRUE(text("lBanda").isEmpty());
    EXPECT_FALSE(shown("BLED_ON1"));

    // Once the controller says 0, the retracted panel is its word.
    controller.answering = true;
    controller.record.frequency = 0;
    tick(3);
    EXPECT_TRUE(shown("Panel_Elem_Retract"));
    EXPECT_FALSE(shown("pnDisplay"));

    // Another port: what the last one said is not known of this one.
    controller.answering = false;
    window->SelectPort(2);
    tick(2);
    EXPECT_FALSE(shown("Panel_Elem_Retract"));
    EXPECT_TRUE(shown("pnDisplay"));
    EXPECT_TRUE(text("lFreq").isEmpty());
}

TEST_F(StatusBarTest, bandLampWaitsForTheFirstReplyAfterAPortChange) {
    start();
    tick(3);
    ASSERT_TRUE(shown("BLED_ON1"));
    controller.answering = false;
    window->SelectPort(3);
    tick(3);
    EXPECT_FALSE(shown("BLED_ON1"));
    EXPECT_TRUE(text("lFreq").isEmpty());
}

TEST_F(StatusBarTest, displayDimsWhileTheLinkIsSilentAndBrightensWithTheNextReply) {
    start();
    tick(2);
    const QString freq = text("lFreq");
    ASSERT_FALSE(freq.isEmpty());
    const QColor grey = toQColor(NamedColour::clGray);
    EXPECT_NE(colourOf("lFreq"), grey);

    controller.answering = false;
    tick(40);
    ASSERT_FALSE(window->poll().ControllerOnline());
    EXPECT_EQ(text("lFreq"), freq);  // last values kept
    for (const char* line : {"lFreq", "lBanda", "Heading"}) EXPECT_EQ(colourOf(line), grey) << line;

    controller.answering = true;
    tick(2);
    for (const char* line : {"lFreq", "lBanda", "Heading"}) {
        EXPECT_EQ(colourOf(line), toQColor(NamedColour::clBlack)) << line;
    }
}

TEST_F(StatusBarTest, refusedCommandsAreToldAndAcceptedOnesAreNot) {
    writeSettings("[OmniRig]\nRig1=1\nRig2=0\n");
    rigServer.set(1, 14'074'000.0);
    start();
    tick(3);  // online, then the rig client opens and sends 14074 kHz, accepted
    ASSERT_EQ(controller.commands(3).size(), 1u);
    EXPECT_TRUE(event().isEmpty());

    controller.statusFor[3] = 3;
    dialogs->answer = "3600";
    QTest::mouseClick(find("lFreq"), Qt::LeftButton);
    settle();
    EXPECT_EQ(event(), "3600 kHz refused by the controller (status 3)");

    rigServer.set(1, 21'100'000.0);
    rigServer.report(1);
    settle();
    EXPECT_EQ(event(), "21100 kHz refused by the controller (status 3)");

    controller.statusFor[8] = 2;
    find<QAbstractButton>("SpeedButton10")->click();
    settle();
    EXPECT_EQ(event(), "Key \"Frequency up\" refused by the controller (status 2)");

    controller.statusFor.clear();
    window->announce("earlier");
    find<QAbstractButton>("SpeedButton11")->click();
    settle();
    EXPECT_EQ(event(), "earlier");
}

TEST_F(StatusBarTest, eventsFieldClearsAfterItsTime) {
    start();
    window->announce("Backup saved to /tmp/x.skarnel");
    EXPECT_EQ(event(), "Backup saved to /tmp/x.skarnel");
    auto* timer = window->consoleStatusBar()->findChild<QTimer*>("tmEvents");
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->intervalAsDuration(), ConsoleStatusBar::kEventTime);
    ASSERT_TRUE(timer->isActive());
    timer->start(std::chrono::milliseconds(1));  // its time is up
    EXPECT_TRUE(QTest::qWaitFor([&] { return event().isEmpty(); }, 2000));
    // What a screen reader is told goes too.
    auto* field = window->consoleStatusBar()->findChild<QLabel*>("sbEvents");
    ASSERT_TRUE(field);
    EXPECT_TRUE(field->accessibleDescription().isEmpty())
        << field->accessibleDescription().toStdString();
}

TEST_F(StatusBarTest, radioFieldTellsTheFollowedRig) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    start();
    tick(2);
    EXPECT_EQ(radio(), "No radio");

    find<QAction>("Radio1")->trigger();
    rigServer.set(1, 14'074'000.0);
    tick(2);
    EXPECT_EQ(radio(), "Radio 1: 14.074000 MHz");

    rigServer.set(1, 144'300'000.0);
    const auto before = controller.commands(3).size();
    rigServer.report(1);
    tick();
    EXPECT_EQ(radio(), "Radio 1: 144.300000 MHz, outside the antenna's range, not followed");
    EXPECT_EQ(controller.commands(3).size(), before);

    rigServer.reason[0] = "localhost:4532: connection refused";
    rigServer.statusReport(1, RigStatus::NotResponding);
    tick();
    EXPECT_EQ(radio(), "Radio 1: not reachable (localhost:4532: connection refused)");
}

TEST_F(StatusBarTest, radioFieldSaysTheAntennaWaitsWhileTheRadioTransmits) {
    writeSettings("[OmniRig]\nRig1=1\nRig2=0\n");
    rigServer.set(1, 14'074'000.0);
    start();
    tick(3);
    ASSERT_EQ(radio(), "Radio 1: 14.074000 MHz");
    const auto before = controller.commands(3).size();

    rigServer.transmit(1, true);
    rigServer.set(1, 21'074'000.0);
    rigServer.report(1);
    tick();
    EXPECT_EQ(radio(), "Radio 1: transmitting, antenna waits");
    EXPECT_EQ(find("sbRadio")->accessibleName(), "Radio: Radio 1: transmitting, antenna waits");
    settle();
    EXPECT_EQ(controller.commands(3).size(), before);

    rigServer.transmit(1, false);
    settle();
    tick();
    EXPECT_EQ(radio(), "Radio 1: 21.074000 MHz");
    const auto sent = controller.commands(3);
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(Bytes(sent.back().begin() + 2, sent.back().end()), (Bytes{0x52, 0x52}));  // 21074 kHz
}

TEST_F(StatusBarTest, radioFieldNamesTheTickedRigThatTransmits) {
    // Values other than "1" tick both rigs, as the settings file always allowed.
    writeSettings("[OmniRig]\nRig1=2\nRig2=2\n");
    rigServer.set(1, 14'074'000.0);
    rigServer.set(2, 7'074'000.0);
    start();
    tick(3);
    ASSERT_EQ(radio(), "Radio 1: 14.074000 MHz");
    rigServer.transmit(2, true);
    tick();
    EXPECT_EQ(radio(), "Radio 2: transmitting, antenna waits");
    rigServer.transmit(2, false);
    tick();
    EXPECT_EQ(radio(), "Radio 1: 14.074000 MHz");
}

TEST_F(StatusBarTest, rigUnreachableAtFirstConnectIsToldOnceFromTheEventLoopWhilePollsGoOn) {
    writeSettings("[OmniRig]\nRig1=1\nRig2=0\n");
    rigServer.status[0] = RigStatus::NotResponding;
    rigServer.reason[0] = "localhost:4532: connection refused";
    countPollsUnderBoxes();
    ConsoleOptions options = baseOptions();
    options.runPollTimer = true;
    start(std::move(options));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !dialogs->messages.empty(); }, 5000));
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0],
              "Error connecting to the radio - Check Cat Radio > Config Radio\n"
              "localhost:4532: connection refused");
    EXPECT_EQ(dialogs->titles[0], "Skarnel Utility");
    EXPECT_GE(pollsUnderTheBox, 3u);
    EXPECT_EQ(radio(), "Radio 1: not reachable (localhost:4532: connection refused)");

    // Later failures live in the status bar only; a rig that comes back is followed.
    rigServer.statusReport(1, RigStatus::NotResponding);
    rigServer.set(1, 14'074'000.0);
    rigServer.statusReport(1, RigStatus::Online);
    rigServer.report(1);
    QTest::qWait(50);
    EXPECT_EQ(dialogs->messages.size(), 1u);
    EXPECT_FALSE(controller.commands(3).empty());
}

}  // namespace
}  // namespace kt6

namespace kt6 {
namespace {

TEST(ShortPortReason, localAndNetworkPortsInAFewWords) {
    EXPECT_EQ(shortPortReason(EBUSY, "/dev/ttyUSB0"),
              "/dev/ttyUSB0: busy (another program holds it)");
    EXPECT_EQ(shortPortReason(ENOENT, {}), "no such device");
    EXPECT_EQ(shortPortReason(ECONNREFUSED, "tcp://shack:4001"),
              "tcp://shack:4001: connection refused");
    EXPECT_EQ(shortPortReason(kHostNotFound, "rfc2217://nowhere:2217"),
              "rfc2217://nowhere:2217: host not found");
}

}  // namespace
}  // namespace kt6
