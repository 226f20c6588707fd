// End to end: Hamlib's dummy rig served by a real rigctld, the console's rig client on the
// Hamlib backend, and the simulated controller receiving command 3.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <array>
#include <memory>
#include <vector>

#include "core/rig_tracker.h"
#include "integration/radio/controller_on_loop.h"
#include "integration/radio/rig_fixture.h"
#include "link/link.h"
#include "radio/hamlib_rig_server.h"
#include "support/loopback_listener.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::ChildProcess;
using testing::RecordingSimBackend;

constexpr int kDeadlineMs = 10000;

struct BoxesView : RigView {
    std::array<bool, kRigCount> ticked{};
    std::array<NamedColour, kRigCount> lamps{NamedColour::clBtnFace, NamedColour::clBtnFace};
    std::vector<std::string> errors;

    bool isTicked(int rig) const override { return ticked.at(static_cast<std::size_t>(rig - 1)); }
    void setTicked(int rig, bool t) override { ticked.at(static_cast<std::size_t>(rig - 1)) = t; }
    void setLamp(int rig, NamedColour c) override {
        lamps.at(static_cast<std::size_t>(rig - 1)) = c;
    }
    void setMenuCheck(RigMenuItem, bool) override {}
    void showError(const std::string& text, const std::string&) override { errors.push_back(text); }
};

RigSettings rigctldAt(int port) {
    RigSettings s = defaultRigSettings();
    s.rig(1).port = "127.0.0.1:" + std::to_string(port);
    // Rig 2's default port may belong to a real station; this test leaves it alone.
    s.rig(2).model = 0;
    return s;
}

class RigTrackingTest : public ::testing::Test, protected testing::ControllerOnLoop {
  protected:
    void SetUp() override {
        rigPort = testing::freeLoopbackPort();
        ASSERT_GT(rigPort, 0);
        rigctld = testing::startRigctld(rigPort, ptt);
        ASSERT_TRUE(rigctld) << "rigctld could not be started (libhamlib-utils)";

        ASSERT_TRUE(opened);

        tracker = std::make_unique<RigTracker>(
            *link, view, [] { return true; },
            [this] {
                return std::make_unique<HamlibRigServer>(
                    HamlibServerOptions{{}, rigctldAt(rigPort), nullptr});
            });
        tracker->Radio1Click();
        tracker->OpenRigClient();
        ASSERT_TRUE(tracker->following()) << tracker->connectError();
        server = dynamic_cast<HamlibRigServer*>(tracker->RigClient());
        ASSERT_NE(server, nullptr);
    }

    // Online at the server and seen so by the tracker (its lamp lit): a report still queued
    // for the window would otherwise be read after whatever the test does next.
    bool waitOnline() {
        return QTest::qWaitFor(
            [this] {
                return server->status(1) == RigStatus::Online &&
                       view.lamps[0] == NamedColour::clLime;
            },
            kDeadlineMs);
    }

    // The dummy rig has no PTT unless a test asks for one.
    testing::RigPtt ptt = testing::RigPtt::None;
    int rigPort = -1;
    std::optional<ChildProcess> rigctld;
    BoxesView view;
    std::unique_ptr<RigTracker> tracker;
    HamlibRigServer* server = nullptr;
};

TEST_F(RigTrackingTest, TheControllerFollowsFrequencyAndModeChangesOfTheRig) {
    ASSERT_TRUE(waitOnline()) << server->statusLine(1);
    EXPECT_EQ(view.lamps[0], NamedColour::clLime);
    EXPECT_EQ(server->status(2), RigStatus::NotConfigured);
    // This rig cannot report PTT ("feature not available"): it is followed as ever.
    EXPECT_FALSE(server->transmitting(1));

    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "14074000"}), 0);
    ASSERT_TRUE(waitTuned(14074)) << server->statusLine(1);
    EXPECT_EQ(sim->arrivals().back().payload, (Bytes{0xFA, 0x36}));

    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "7199999"}), 0);
    ASSERT_TRUE(waitTuned(7199));
    EXPECT_EQ(sim->arrivals().back().payload, (Bytes{0x1F, 0x1C}));

    // A mode change alone leaves the antenna where it is: the frequency did not move.
    const std::size_t before = sim->arrivals().size();
    ASSERT_EQ(testing::runRigctl(rigPort, {"M", "CW", "500"}), 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return server->statusLine(1).find(" CW") != std::string::npos; }, kDeadlineMs))
        << server->statusLine(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !link->busy(); }, kDeadlineMs));
    EXPECT_EQ(sim->arrivals().size(), before);

    // Two metres does not fit the payload: the antenna stays where it is.
    const std::size_t tuned = sim->arrivals().size();
    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "144300000"}), 0);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server->rxFrequency(1) == 144'300'000.0; }, kDeadlineMs));
    // The report was handled when the reading arrived, or is queued on the link: once the
    // link is idle with nothing queued, whatever it was going to send has gone.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !link->busy(); }, kDeadlineMs));
    EXPECT_EQ(sim->arrivals().size(), tuned);
    EXPECT_EQ(sim->model().controller().frequency(), 7199);
}

TEST_F(RigTrackingTest, LosingRigctldTurnsTheLampOliveAndItsReturnIsFollowed) {
    ASSERT_TRUE(waitOnline()) << server->statusLine(1);
    // A first look that failed on a loaded machine (a read timing out before the rig came
    // online) may have shown its box already; the loss and the return must add none.
    const std::size_t errorsBefore = view.errors.size();
    rigctld->stop();
    ASSERT_TRUE(
        QTest::qWaitFor([this] { return view.lamps[0] == NamedColour::clOlive; }, kDeadlineMs));
    EXPECT_NE(server->status(1), RigStatus::Online);
    EXPECT_FALSE(server->statusLine(1).empty());
    // The library's words follow the port; an initialism keeps its capitals ("IO error").
    const std::string why = server->reason(1);
    EXPECT_EQ(why.find(": iO"), std::string::npos) << why;

    rigctld = testing::startRigctld(rigPort);
    ASSERT_TRUE(rigctld);
    ASSERT_TRUE(waitOnline()) << server->statusLine(1);
    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "21074000"}), 0);
    EXPECT_TRUE(waitTuned(21074));
    EXPECT_EQ(view.errors.size(), errorsBefore) << view.errors.back();
}

// The dummy rig with a PTT that rigctl keys, as a station's logger or foot switch would.
class TransmittingRigTest : public RigTrackingTest {
  protected:
    TransmittingRigTest() { ptt = testing::RigPtt::Rig; }

    // The rig's frequency as the server last read it.
    bool serverReads(double hz) {
        return QTest::qWaitFor([&] { return server->rxFrequency(1) == hz; }, kDeadlineMs);
    }
};

TEST_F(TransmittingRigTest, ChangesWhileTransmittingWaitAndOnlyTheLatestGoesOutOnReceive) {
    ASSERT_TRUE(waitOnline()) << server->statusLine(1);
    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "14074000"}), 0);
    ASSERT_TRUE(waitTuned(14074));

    ASSERT_EQ(testing::runRigctl(rigPort, {"T", "1"}), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return tracker->holdingForTransmit(); }, kDeadlineMs));
    const std::size_t before = sim->arrivals().size();
    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "21074000"}), 0);
    ASSERT_TRUE(serverReads(21'074'000));
    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "28074000"}), 0);
    ASSERT_TRUE(serverReads(28'074'000));
    // Both reports were handled when their readings arrived; nothing waits on the link.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !link->busy(); }, kDeadlineMs));
    EXPECT_EQ(sim->arrivals().size(), before);
    EXPECT_EQ(sim->model().controller().frequency(), 14074);

    ASSERT_EQ(testing::runRigctl(rigPort, {"T", "0"}), 0);
    ASSERT_TRUE(waitTuned(28074));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !link->busy(); }, kDeadlineMs));
    const auto arrivals = sim->arrivals();
    ASSERT_EQ(arrivals.size(), before + 1);
    EXPECT_EQ(arrivals.back().payload, (Bytes{0xAA, 0x6D}));  // 28074 kHz
    EXPECT_FALSE(server->transmitting(1));
}

TEST(HamlibRigServerTest, AServerThatNeverAnswersIsAStatusNotAnErrorNorAHang) {
    testing::LoopbackListener silent;
    ASSERT_GT(silent.port(), 0);
    RigSettings s = defaultRigSettings();
    s.rig(1).port = "127.0.0.1:" + std::to_string(silent.port());
    s.rig(2).model = 0;
    HamlibRigServer server(HamlibServerOptions{{}, s, nullptr});
    std::string error;
    ASSERT_TRUE(server.connect(&error)) << error;
    // connect returns at once; rig 1 is polled on its own thread, rig 2 has no model.
    EXPECT_EQ(server.status(1), RigStatus::Disabled);
    EXPECT_EQ(server.status(2), RigStatus::NotConfigured);
    // Not the "connecting" status the thread shows first: the open itself must give up.
    // With libhamlib's own timeout and retries this would take well over the deadline.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const RigStatus st = server.status(1);
            return (st == RigStatus::NotResponding || st == RigStatus::PortBusy) &&
                   server.statusLine(1).find("connecting") == std::string::npos;
        },
        kDeadlineMs))
        << server.statusLine(1);
    EXPECT_FALSE(server.rxFrequency(1).has_value());
    EXPECT_EQ(server.status(2), RigStatus::NotConfigured);
}

TEST(HamlibRigServerTest, AHostThatDropsConnectsNeitherFreezesTheWindowNorItsClose) {
    testing::LoopbackListener full(testing::LoopbackListener::Mode::Unanswering);
    ASSERT_GT(full.port(), 0);
    RigSettings s = defaultRigSettings();
    s.rig(1).port = "127.0.0.1:" + std::to_string(full.port());
    s.rig(2).model = 0;
    auto server = std::make_unique<HamlibRigServer>(HamlibServerOptions{{}, s, nullptr});
    ASSERT_TRUE(server->connect());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server->status(1) == RigStatus::NotResponding; }, kDeadlineMs))
        << server->statusLine(1);
    // libhamlib's connect waits for the kernel's SYN retries (minutes); the window waits for
    // none of it, neither when the settings change nor when the server goes.
    const auto start = std::chrono::steady_clock::now();
    s.rig(1).port = "127.0.0.1:1";
    server->applySettings(s);
    server.reset();
    // Far below the kernel's SYN retries, which is what a join would wait for.
    constexpr auto kNoHang = std::chrono::seconds(5);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kNoHang);
}

TEST(HamlibRigServerTest, NewSettingsMoveTheRigToTheNewPort) {
    const int portA = testing::freeLoopbackPort();
    auto rigA = testing::startRigctld(portA);
    ASSERT_TRUE(rigA);
    RigSettings s = defaultRigSettings();
    s.rig(1).port = "127.0.0.1:1";  // nothing listens on port 1
    s.rig(2).model = 0;
    HamlibRigServer server(HamlibServerOptions{{}, s, nullptr});
    ASSERT_TRUE(server.connect());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.status(1) == RigStatus::PortBusy; }, kDeadlineMs))
        << server.statusLine(1);

    s.rig(1).port = "127.0.0.1:" + std::to_string(portA);
    server.applySettings(s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.status(1) == RigStatus::Online; }, kDeadlineMs))
        << server.statusLine(1);
    ASSERT_EQ(testing::runRigctl(portA, {"F", "18100000"}), 0);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return server.rxFrequency(1) == 18'100'000.0; }, kDeadlineMs));
}

TEST(HamlibRigServerTest, TestButtonReportsTheRigOrWhyNot) {
    const int port = testing::freeLoopbackPort();
    auto rig = testing::startRigctld(port);
    ASSERT_TRUE(rig);
    ASSERT_EQ(testing::runRigctl(port, {"F", "14074000"}), 0);
    ASSERT_EQ(testing::runRigctl(port, {"M", "USB", "2400"}), 0);
    RigSettings s = defaultRigSettings();
    s.rig(2).model = 0;
    HamlibRigServer server(HamlibServerOptions{{}, s, nullptr});
    RigPortSettings tried = s.rig(1);
    tried.port = "127.0.0.1:" + std::to_string(port);
    QString answer;
    server.testRig(1, tried, [&](const QString& text) { answer = text; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.isEmpty(); }, kDeadlineMs));
    EXPECT_EQ(answer, "Online, 14.074000 MHz, USB");

    answer.clear();
    tried.port = "127.0.0.1:1";  // nothing listens there
    server.testRig(1, tried, [&](const QString& text) { answer = text; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return !answer.isEmpty(); }, kDeadlineMs));
    EXPECT_TRUE(answer.startsWith("Port busy or missing (127.0.0.1:1: ")) << answer.toStdString();
    // The rigs in use were never touched by the tests.
    EXPECT_EQ(server.status(1), RigStatus::Disabled);
}

}  // namespace
}  // namespace kt6
