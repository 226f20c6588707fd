// The console's port session on a fake clock and an in-memory device: loss, the 2 s retry
// rhythm, a network host that is down, the operator's choice, and a tick inside an exchange.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "core/port_session.h"
#include "link/comm32.h"
#include "link/link.h"
#include "support/fake_clock.h"
#include "support/fake_pump.h"
#include "support/fake_serial.h"
#include "support/loopback_listener.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakePump;
using testing::FakeSerialBackend;
using testing::FakeSerialState;

// The window's side: a retry timer on the fake clock, and what the session told it.
class PortSessionTest : public ::testing::Test, public PortSessionObserver {
  protected:
    PortSessionTest() { pump.attach(&link); }

    void portClosed() override { ++closedReports; }
    void deviceLost() override { ++lostReports; }
    void runRetryTimer(bool running) override {
        timerRunning = running;
        if (running) startTimer();
    }
    void deviceBack() override { ++backReports; }

    // A repeating timer as the window's: the first tick one interval after it starts.
    void startTimer() {
        const int generation = ++timerGeneration;
        clock.every(clock.now() + PortSession::kRetryInterval, PortSession::kRetryInterval,
                    [this, generation] {
                        if (timerRunning && generation == timerGeneration) session.retryTick();
                    });
    }

    // Opens COM1 and loses its device the way the window sees it: on the next read.
    void openAndLose() {
        ASSERT_TRUE(session.open(1).ok);
        wire.unplug();
        port.InputCount();
        ASSERT_EQ(session.state(), PortSession::State::Lost);
    }

    FakeSerialState wire;
    std::map<int, std::string> mapping{{1, "/dev/ttyUSB0"}};
    std::function<std::optional<std::string>(int)> mapped =
        [this](int n) -> std::optional<std::string> {
        auto it = mapping.find(n);
        if (it == mapping.end()) return std::nullopt;
        return it->second;
    };
    Comm32 port{std::make_unique<FakeSerialBackend>(wire), comPortResolver(mapped)};
    FakeClock clock;
    FakePump pump{clock};
    Link link{port};
    PortSession session{port, link, mapped, *this};
    bool timerRunning = false;
    int timerGeneration = 0;
    int closedReports = 0;
    int lostReports = 0;
    int backReports = 0;
};

TEST_F(PortSessionTest, opensTheChosenMappingOnceAndSaysWhyAPortDidNotOpen) {
    const auto opened = session.open(1);
    EXPECT_TRUE(opened.ok);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_EQ(session.portNumber(), 1);
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(wire.configureCount, 1);
    EXPECT_EQ(closedReports, 1);

    wire.openError = 2;  // ENOENT
    const auto failed = session.open(3);
    EXPECT_FALSE(failed.ok);
    // The open's own error, not the EBADF of the configure that follows it.
    EXPECT_EQ(failed.cause, 2);
    EXPECT_EQ(session.state(), PortSession::State::Closed);
    EXPECT_EQ(session.portNumber(), 3);
    EXPECT_FALSE(session.retrying());
}

TEST_F(PortSessionTest, aLostDeviceIsTriedEveryTwoSecondsUntilItIsBack) {
    openAndLose();
    EXPECT_EQ(lostReports, 1);
    EXPECT_TRUE(timerRunning);
    EXPECT_TRUE(session.retrying());
    const int attempts = wire.openAttempts;

    clock.advance(1999ms);
    EXPECT_EQ(wire.openAttempts, attempts);
    clock.advance(1ms);
    EXPECT_EQ(wire.openAttempts, attempts + 1);
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    clock.advance(4s);
    EXPECT_EQ(wire.openAttempts, attempts + 3);
    EXPECT_EQ(session.state(), PortSession::State::Lost);
    EXPECT_EQ(backReports, 0);

    wire.plugIn();
    clock.advance(2s);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_EQ(backReports, 1);
    EXPECT_FALSE(timerRunning);
    EXPECT_TRUE(wire.open);
    EXPECT_EQ(wire.configureCount, 2);
    EXPECT_EQ(session.attempts(), 4);
    // Once back, nothing more is tried.
    const int opens = wire.openAttempts;
    clock.advance(10s);
    session.retryTick();
    EXPECT_EQ(wire.openAttempts, opens);
    EXPECT_EQ(backReports, 1);
}

TEST_F(PortSessionTest, aDeviceThatOpensButWillNotConfigureIsClosedAndTriedAgain) {
    openAndLose();
    wire.plugIn();
    wire.configureError = 5;
    clock.advance(2s);
    EXPECT_TRUE(session.retrying());
    EXPECT_FALSE(wire.open);
    EXPECT_EQ(backReports, 0);
    wire.configureError = 0;
    clock.advance(2s);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_EQ(backReports, 1);
}

TEST_F(PortSessionTest, anUnreachableNetworkHostIsNeverOpened) {
    using testing::LoopbackListener;
    // A host that takes no connection at all, as one that is down or drops packets.
    LoopbackListener silentHost(LoopbackListener::Mode::Unanswering);
    ASSERT_GT(silentHost.port(), 0);
    const int refusedPort = testing::freeLoopbackPort();
    ASSERT_GT(refusedPort, 0);
    mapping[1] = "tcp://127.0.0.1:" + std::to_string(silentHost.port());
    mapping[2] = "tcp://127.0.0.1:" + std::to_string(refusedPort);

    for (int n : {1, 2}) {
        SCOPED_TRACE(mapping[n]);
        wire.plugIn();
        ASSERT_TRUE(session.open(n).ok);
        wire.unplug();
        port.InputCount();
        ASSERT_TRUE(session.retrying());
        wire.plugIn();  // the fake device would open at once: only the host check holds it
        const int attempts = wire.openAttempts;
        clock.advance(20s);
        EXPECT_EQ(wire.openAttempts, attempts);
        EXPECT_EQ(session.attempts(), 10);
        EXPECT_TRUE(session.retrying());
        EXPECT_EQ(backReports, 0);
        session.stopRetrying();
    }
}

TEST_F(PortSessionTest, theOperatorsChoiceEndsTheRetrying) {
    openAndLose();
    clock.advance(2s);
    ASSERT_EQ(session.attempts(), 1);
    wire.plugIn();
    session.stopRetrying();
    EXPECT_FALSE(timerRunning);
    EXPECT_FALSE(session.retrying());
    EXPECT_EQ(session.state(), PortSession::State::Closed);
    // A tick already on its way finds nothing to retry.
    const int attempts = wire.openAttempts;
    session.retryTick();
    clock.advance(10s);
    EXPECT_EQ(wire.openAttempts, attempts);
    EXPECT_EQ(backReports, 0);

    // A later loss starts afresh: a full interval before the first attempt.
    openAndLose();
    EXPECT_EQ(session.attempts(), 0);
    clock.advance(1999ms);
    EXPECT_EQ(session.attempts(), 0);
}

TEST_F(PortSessionTest, aRetryReopensTheDeviceWhileASequenceHoldsTheLink) {
    // A sequence waiting for the motors holds the link; the keys that end its wait need the
    // port back, so the retry does not wait for the hold to end.
    openAndLose();
    wire.plugIn();
    const int attempts = wire.openAttempts;
    Link::Hold sequence(link);
    clock.advance(2s);
    EXPECT_EQ(wire.openAttempts, attempts + 1);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_EQ(backReports, 1);
    EXPECT_FALSE(timerRunning);
}

TEST_F(PortSessionTest, aClosingWindowStartsNoRetryTimerAndTriesNothing) {
    ASSERT_TRUE(session.open(1).ok);
    link.shutDown();
    wire.unplug();
    port.InputCount();
    EXPECT_EQ(lostReports, 1);
    EXPECT_FALSE(timerRunning);
    wire.plugIn();
    const int attempts = wire.openAttempts;
    session.retryTick();
    EXPECT_EQ(wire.openAttempts, attempts);
}

}  // namespace
}  // namespace kt6
