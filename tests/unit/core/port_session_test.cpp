// The console's port session on a fake clock and an in-memory device: loss, the 2 s retry
// rhythm, the operator's choice, and a tick inside an exchange; network ports opened in the
// background on gated backends: adopted once in, a newer choice winning, a session gone while
// an open waits, retries that never overlap, and a connection the server drops at once tried
// once more.
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
#include "support/open_gate.h"
#include "support/wait_for.h"

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

    // Opens COMn as a choice does; the outcome as it came, or nothing while it is under way.
    std::optional<PortSession::Opened> open(int n) {
        std::optional<PortSession::Opened> outcome;
        session.open(n, [&outcome](const PortSession::Opened& o) { outcome = o; });
        return outcome;
    }
    // Ticks as the link timer does until done() holds, or five seconds passed.
    bool tickUntil(const std::function<bool()>& done) {
        return testing::waitFor(
            [&] {
                session.tick();
                return done();
            },
            5s);
    }

    // Opens COM1 and loses its device the way the window sees it: on the next read.
    void openAndLose() {
        ASSERT_TRUE(open(1)->ok);
        wire.unplug();
        port.InputCount();
        ASSERT_EQ(session.state(), PortSession::State::Lost);
    }
    // Opens the network port COM4 through the gate and loses its connection, seen on the
    // next read.
    void openNetworkAndLose() {
        session.open(4, nullptr);
        ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
        gate->release();
        ASSERT_TRUE(tickUntil([&] { return session.state() == PortSession::State::Open; }));
        gate->dropAll();
        port.InputCount();
    }

    FakeSerialState wire;
    std::map<int, std::string> mapping{{1, "/dev/ttyUSB0"}, {4, "tcp://shack:4001"}};
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
    std::shared_ptr<testing::OpenGate> gate = std::make_shared<testing::OpenGate>();
    PortSession session{port, link, *this,
                        [this](std::function<bool()> cancelled) { return gate->make(cancelled); },
                        &clock};
    bool timerRunning = false;
    int timerGeneration = 0;
    int closedReports = 0;
    int lostReports = 0;
    int backReports = 0;
};

TEST_F(PortSessionTest, opensTheChosenMappingOnceAndSaysWhyAPortDidNotOpen) {
    const auto opened = open(1);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->ok);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_EQ(session.portNumber(), 1);
    EXPECT_EQ(wire.openedPath, "/dev/ttyUSB0");
    EXPECT_EQ(wire.configureCount, 1);
    EXPECT_EQ(closedReports, 1);

    wire.openError = 2;  // ENOENT
    const auto failed = open(3);
    ASSERT_TRUE(failed);
    EXPECT_FALSE(failed->ok);
    // The open's own error, not the EBADF of the configure that follows it.
    EXPECT_EQ(failed->cause, 2);
    // A device path never goes near the background.
    EXPECT_EQ(gate->counts().made, 0);
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

TEST_F(PortSessionTest, aNetworkPortOpensInTheBackgroundAndIsTakenUpOnATickOnceIn) {
    ASSERT_TRUE(open(1)->ok);
    std::optional<PortSession::Opened> outcome;
    session.open(4, [&](const PortSession::Opened& o) { outcome = o; });
    // Back at once, the old port closed, nothing said yet.
    EXPECT_EQ(session.state(), PortSession::State::Opening);
    EXPECT_EQ(session.portNumber(), 4);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_FALSE(wire.open);
    EXPECT_EQ(closedReports, 2);
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    session.tick();
    EXPECT_FALSE(outcome);

    gate->release();
    ASSERT_TRUE(tickUntil([&] { return outcome.has_value(); }));
    EXPECT_TRUE(outcome->ok);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.PortError(), 0);
    EXPECT_EQ(port.DevicePath(), "tcp://shack:4001");
    const auto counts = gate->counts();
    EXPECT_EQ(counts.lastPath, "tcp://shack:4001");
    EXPECT_EQ(counts.configured, 1);
    EXPECT_EQ(counts.lastSettings.speed, 19200u);
    EXPECT_EQ(counts.lastSettings.dataBits, 8);
    EXPECT_EQ(counts.lastSettings.parity, 'n');

    // The next choice closes the adopted port and opens on the port's own backend again.
    ASSERT_TRUE(open(1)->ok);
    EXPECT_EQ(gate->counts().openNow, 0);
    EXPECT_TRUE(wire.open);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyUSB0");
}

TEST_F(PortSessionTest, aFailedNetworkOpenSaysWhyAndTheStartsPortIsWaitedFor) {
    std::optional<PortSession::Opened> outcome;
    session.open(4, [&](const PortSession::Opened& o) { outcome = o; });
    gate->openFreely(ECONNREFUSED);
    ASSERT_TRUE(tickUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->ok);
    EXPECT_EQ(outcome->cause, ECONNREFUSED);
    EXPECT_EQ(session.state(), PortSession::State::Closed);
    EXPECT_EQ(port.PortError(), ECONNREFUSED);
    EXPECT_EQ(port.DevicePath(), "tcp://shack:4001");
    EXPECT_FALSE(port.IsOpen());
    // A server not started yet comes by itself: the start waits for it.
    EXPECT_TRUE(session.retryUnopened(outcome->cause));
    EXPECT_TRUE(timerRunning);
}

// A serial server still letting go of the device for the connection just dropped drops the new
// one: the choice is connected once more, 500 ms later, before the operator hears of it.
TEST_F(PortSessionTest, aChosenNetworkPortDroppedAtOnceIsTriedOnceMoreBeforeTheOperatorIsTold) {
    std::optional<PortSession::Opened> outcome;
    auto dropFirstConnection = [&](int started) {
        ASSERT_TRUE(gate->waitFor(
            [&](const auto& c) { return c.waiting == 1 && c.opensStarted == started; }, 5s));
        gate->release(ECONNRESET);
        // The failed backend goes once its outcome is in; the next tick takes that up.
        ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.alive == 0; }, 5s));
        session.tick();
    };

    session.open(4, [&](const PortSession::Opened& o) { outcome = o; });
    ASSERT_NO_FATAL_FAILURE(dropFirstConnection(1));
    EXPECT_FALSE(outcome);
    EXPECT_EQ(session.state(), PortSession::State::Opening);
    clock.advance(PortSession::kDroppedRetryDelay - 1ms);
    EXPECT_EQ(gate->counts().opensStarted, 1);
    clock.advance(1ms);
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    EXPECT_EQ(gate->counts().opensStarted, 2);
    gate->release();
    ASSERT_TRUE(tickUntil([&] { return outcome.has_value(); }));
    EXPECT_TRUE(outcome->ok);
    EXPECT_TRUE(port.IsOpen());

    // Dropped twice: the second drop is the answer, and nothing more is tried.
    outcome.reset();
    session.open(4, [&](const PortSession::Opened& o) { outcome = o; });
    ASSERT_NO_FATAL_FAILURE(dropFirstConnection(3));
    clock.advance(PortSession::kDroppedRetryDelay);
    ASSERT_NO_FATAL_FAILURE(dropFirstConnection(4));
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->ok);
    EXPECT_EQ(outcome->cause, ECONNRESET);
    EXPECT_EQ(session.state(), PortSession::State::Closed);
    clock.advance(5s);
    EXPECT_EQ(gate->counts().opensStarted, 4);
}

TEST_F(PortSessionTest, aChoiceMadeWhileADroppedConnectionWaitsForItsSecondTryCancelsThatTry) {
    bool firstSaid = false;
    session.open(4, [&](const PortSession::Opened&) { firstSaid = true; });
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    gate->release(ECONNRESET);
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.alive == 0; }, 5s));
    session.tick();
    ASSERT_TRUE(open(1)->ok);
    clock.advance(2s);
    for (int i = 0; i < 5; ++i) session.tick();
    EXPECT_EQ(gate->counts().opensStarted, 1);
    EXPECT_FALSE(firstSaid);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyUSB0");
    EXPECT_TRUE(port.IsOpen());
}

TEST_F(PortSessionTest, aNewerChoiceWinsAndTheEarlierOpensLateOutcomeIsClosedUnsaid) {
    bool firstSaid = false;
    session.open(4, [&](const PortSession::Opened&) { firstSaid = true; });
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    // The operator chooses a device while the network port still connects.
    ASSERT_TRUE(open(1)->ok);
    EXPECT_EQ(session.state(), PortSession::State::Open);
    // The first open is given up at its next step and closes what it has.
    EXPECT_TRUE(gate->waitFor([](const auto& c) { return c.cancelled == 1 && c.alive == 0; }, 5s));
    for (int i = 0; i < 5; ++i) session.tick();
    EXPECT_FALSE(firstSaid);
    EXPECT_TRUE(wire.open);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyUSB0");
}

TEST_F(PortSessionTest, anOutcomeThatCameAfterANewerChoiceIsClosedAndNeverAdopted) {
    // A backend that takes no notice of the open being given up, as a test's own factory's.
    PortSession deaf{port, link, *this, [this](std::function<bool()>) { return gate->make(); }};
    bool firstSaid = false;
    deaf.open(4, [&](const PortSession::Opened&) { firstSaid = true; });
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    std::optional<PortSession::Opened> second;
    deaf.open(1, [&](const PortSession::Opened& o) { second = o; });
    ASSERT_TRUE(second && second->ok);
    // The first connects after all: its port is closed on its own thread, nobody told.
    gate->release();
    EXPECT_TRUE(gate->waitFor([](const auto& c) { return c.alive == 0; }, 5s));
    EXPECT_EQ(gate->counts().openNow, 0);
    for (int i = 0; i < 5; ++i) deaf.tick();
    EXPECT_FALSE(firstSaid);
    EXPECT_EQ(port.DevicePath(), "/dev/ttyUSB0");
}

TEST_F(PortSessionTest, aSessionGoneWhileAnOpenWaitsNeitherWaitsForItNorLeavesItsPortOpen) {
    bool said = false;
    {
        auto gone = std::make_unique<PortSession>(
            port, link, *this, [this](std::function<bool()>) { return gate->make(); });
        gone->open(4, [&](const PortSession::Opened&) { said = true; });
        ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
        // Were the open joined here, this would never return: the gate is still shut.
        gone.reset();
    }
    gate->release();
    // The thread ends by itself, writing only into what it shares, and lets go of the port.
    EXPECT_TRUE(gate->waitFor([](const auto& c) { return c.alive == 0; }, 5s));
    EXPECT_EQ(gate->counts().openNow, 0);
    EXPECT_FALSE(said);
}

TEST_F(PortSessionTest, aLostNetworkPortIsRetriedInTheBackgroundOneAttemptAtATime) {
    ASSERT_NO_FATAL_FAILURE(openNetworkAndLose());
    ASSERT_TRUE(session.retrying());
    EXPECT_EQ(lostReports, 1);

    // The first attempt starts, and waits at the gate: later ticks make no other.
    clock.advance(2s);
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    clock.advance(10s);
    session.tick();
    EXPECT_EQ(gate->counts().opensStarted, 2);
    EXPECT_EQ(session.attempts(), 1);

    // Refused: still lost, and quiet; the next retry tick tries again.
    gate->release(ECONNREFUSED);
    // The refused backend goes once its outcome is in; the next tick takes that up.
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.alive == 0; }, 5s));
    session.tick();
    EXPECT_TRUE(session.retrying());
    EXPECT_EQ(backReports, 0);
    EXPECT_TRUE(timerRunning);
    clock.advance(2s);
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    EXPECT_EQ(session.attempts(), 2);

    gate->release();
    ASSERT_TRUE(tickUntil([&] { return backReports == 1; }));
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_FALSE(timerRunning);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_FALSE(port.DeviceLost());
}

TEST_F(PortSessionTest, theOperatorsChoiceGivesUpARetryUnderWay) {
    ASSERT_NO_FATAL_FAILURE(openNetworkAndLose());
    clock.advance(2s);
    ASSERT_TRUE(gate->waitFor([](const auto& c) { return c.waiting == 1; }, 5s));
    session.stopRetrying();
    EXPECT_EQ(session.state(), PortSession::State::Closed);
    EXPECT_TRUE(gate->waitFor([](const auto& c) { return c.cancelled == 1; }, 5s));
    session.tick();
    EXPECT_EQ(backReports, 0);
    EXPECT_FALSE(port.IsOpen());
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
    ASSERT_TRUE(open(1)->ok);
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
