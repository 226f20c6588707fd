// The window on a COM port mapped to the network: the console's own serial layer picks the
// network transport, the window stays alive while it connects, and a failure shows its reason
// under "SELECT THE VALID PORT".
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include "support/loopback_listener.h"
#include "support/wait_for.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

class NetworkPortWindowTest : public testing::WindowFixture {
  protected:
    // The window made on the console's own serial layer, its port not yet opened.
    void start(const std::string& settings) {
        writeSettings(settings);
        far = Far::Device;
        window = std::make_unique<FmMain>(baseOptions());
    }
};

TEST_F(NetworkPortWindowTest, aRefusedConnectionShowsHostPortAndReason) {
    testing::LoopbackListener gone;
    const int port = gone.port();
    gone.close();
    start("[General]\nSerialport=2\n[Ports]\nCOM2=tcp://127.0.0.1:" + std::to_string(port) + "\n");
    window->SelectPort(2);
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_TRUE(
        text("lPortError").startsWith(QStringLiteral("127.0.0.1:%1: connection refused").arg(port)))
        << text("lPortError").toStdString();
}

TEST_F(NetworkPortWindowTest, aSilentRfc2217ServerIsGivenUpOnWithItsReason) {
    testing::LoopbackListener silent;
    start("[General]\nSerialport=2\n[Ports]\nCOM2=rfc2217://127.0.0.1:" +
          std::to_string(silent.port()) + "\n");
    bool ticked = false;
    QTimer::singleShot(0, window.get(), [&] { ticked = true; });
    window->SelectPort(2);
    // The wait for a Telnet answer runs no events of the window's inside it.
    EXPECT_FALSE(ticked);
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_TRUE(text("lPortError").contains(QStringLiteral("telnet(rfc2217)")))
        << text("lPortError").toStdString();
}

TEST_F(NetworkPortWindowTest, aLostNetworkPortIsRetriedWithoutWaitingOnAHostThatGivesNoAnswer) {
    auto listener = std::make_unique<testing::LoopbackListener>();
    const int port = listener->port();
    start("[General]\nSerialport=2\n[Ports]\nCOM2=tcp://127.0.0.1:" + std::to_string(port) + "\n");
    window->SelectPort(2);
    ASSERT_EQ(window->PortNumber(), 2);

    // The listener goes: the connection it never accepted is reset, which is a device loss.
    listener.reset();
    ASSERT_TRUE(testing::waitFor(
        [&] {
            window->tmPollTimer();
            return window->portLost();
        },
        std::chrono::seconds(2)));

    {
        testing::LoopbackListener down(testing::LoopbackListener::Mode::Unanswering, port);
        ASSERT_EQ(down.port(), port);
        // An open's connect wait runs the window's events; a retry that only looks runs none.
        for (int retry = 0; retry < 6; ++retry) {
            bool pumped = false;
            QTimer::singleShot(0, window.get(), [&] { pumped = true; });
            window->tmRetryTimer();
            EXPECT_FALSE(pumped) << "retry " << retry;
            QCoreApplication::processEvents();
        }
        EXPECT_TRUE(window->portLost());
    }

    // The host takes connections again: a later retry reopens the port.
    testing::LoopbackListener back(testing::LoopbackListener::Mode::Silent, port);
    ASSERT_EQ(back.port(), port);
    EXPECT_TRUE(testing::waitFor(
        [&] {
            window->tmRetryTimer();
            return !window->portLost();
        },
        std::chrono::seconds(2)));
    EXPECT_EQ(window->PortNumber(), 2);
}

}  // namespace
}  // namespace kt6
