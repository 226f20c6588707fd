// A logger's datagrams end to end: real UDP on the loopback address into the rig server, the
// rig client, and command 3 at the simulated controller.
#include <gtest/gtest.h>

#include <QHostAddress>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <array>
#include <memory>

#include "core/rig_tracker.h"
#include "integration/radio/controller_on_loop.h"
#include "integration/radio/rig_fixture.h"
#include "link/link.h"
#include "radio/hamlib_rig_server.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::RecordingSimBackend;

constexpr int kDeadlineMs = 10000;

struct QuietView : RigView {
    std::array<bool, kRigCount> ticked{};
    std::vector<std::string> errors;
    bool isTicked(int rig) const override { return ticked.at(static_cast<std::size_t>(rig - 1)); }
    void setTicked(int rig, bool t) override { ticked.at(static_cast<std::size_t>(rig - 1)) = t; }
    void setLamp(int, NamedColour) override {}
    void setMenuCheck(RigMenuItem, bool) override {}
    void showError(const std::string& text, const std::string&) override { errors.push_back(text); }
};

// A UDP port nothing listens on now.
int freeUdpPort() {
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0)) return -1;
    return probe.localPort();
}

QByteArray radioInfo(int radioNr, int tensOfHz, bool transmitting) {
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RadioInfo>\r\n\t<app>N1MM</app>"
               "\r\n\t<RadioNr>%1</RadioNr>\r\n\t<Freq>%2</Freq>\r\n\t<TXFreq>%2</TXFreq>\r\n"
               "\t<IsTransmitting>%3</IsTransmitting>\r\n</RadioInfo>")
        .arg(radioNr)
        .arg(tensOfHz)
        .arg(transmitting ? "True" : "False")
        .toUtf8();
}

class UdpRigTest : public ::testing::Test, protected testing::ControllerOnLoop {
  protected:
    void SetUp() override {
        udpPort = freeUdpPort();
        ASSERT_GT(udpPort, 0);
        ASSERT_TRUE(opened);

        RigSettings s = defaultRigSettings();
        s.rig(1).source = RigSource::N1mm;
        s.rig(1).udpPort = udpPort;
        s.rig(1).radioNumber = 2;
        s.rig(2).model = 0;
        tracker = std::make_unique<RigTracker>(
            *link, view, [] { return true; },
            [s] {
                return std::make_unique<HamlibRigServer>(HamlibServerOptions{{}, s, nullptr});
            });
        tracker->Radio1Click();
        tracker->OpenRigClient();
        ASSERT_TRUE(tracker->following()) << tracker->connectError();
        server = dynamic_cast<HamlibRigServer*>(tracker->RigClient());
        ASSERT_NE(server, nullptr);
    }

    void send(const QByteArray& datagram) {
        sender.writeDatagram(datagram, QHostAddress::LocalHost, static_cast<quint16>(udpPort));
    }

    int udpPort = -1;
    QuietView view;
    std::unique_ptr<RigTracker> tracker;
    HamlibRigServer* server = nullptr;
    QUdpSocket sender;
};

TEST_F(UdpRigTest, TheChosenRadiosDatagramsRetuneTheAntennaAndATransmitHoldsIt) {
    EXPECT_TRUE(server->connecting(1));
    EXPECT_TRUE(view.errors.empty());
    send(radioInfo(1, 702000, false));  // another radio of the logger's
    send(radioInfo(2, 1402500, false));
    ASSERT_TRUE(waitTuned(14025)) << server->statusLine(1);
    EXPECT_EQ(server->statusLine(1), "Online, 14.025000 MHz (N1MM)");

    send(radioInfo(2, 1402500, true));
    ASSERT_TRUE(QTest::qWaitFor([&] { return server->transmitting(1); }, kDeadlineMs));
    send(radioInfo(2, 2107400, true));
    send("<RadioInfo><Freq>garbage</Freq></RadioInfo>");
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return server->statusLine(1).find("1 malformed datagram dropped") != std::string::npos;
        },
        kDeadlineMs));
    EXPECT_EQ(sim->model().controller().frequency(), 14025);
    send(radioInfo(2, 2107400, false));
    ASSERT_TRUE(waitTuned(21074)) << server->statusLine(1);
}

TEST_F(UdpRigTest, TheTestListensBesideTheRigInUseAndNamesWhatItHeard) {
    RigPortSettings tried = server->settings().rig(1);
    QString answer;
    server->testRig(1, tried, [&](const QString& text) { answer = text; });
    send(radioInfo(2, 1807000, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.isEmpty(); }, kDeadlineMs));
    EXPECT_EQ(answer, "Online, 18.070000 MHz (N1MM)");
    // The rig in use heard the same datagram.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server->rxFrequency(1) == 18'070'000.0; }, kDeadlineMs));
}

}  // namespace
}  // namespace kt6
