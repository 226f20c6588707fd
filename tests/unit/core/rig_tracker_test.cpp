// The window's rig client on a fake rig server, a fake port and a fake clock.
#include "core/rig_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <cmath>
#include <map>
#include <memory>

#include "link/comm32.h"
#include "support/fake_pump.h"
#include "support/fake_rig_server.h"
#include "support/fake_serial.h"
#include "support/link_on_fake_port.h"
#include "support/scripted_controller.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakePump;
using testing::FakeRigServer;
using testing::FakeRigState;
using testing::FakeSerialBackend;
using testing::FakeSerialState;
using testing::ScriptedController;

struct FakeView : RigView {
    std::array<bool, kRigCount> ticked{};
    std::array<NamedColour, kRigCount> lamps{NamedColour::clBtnFace, NamedColour::clBtnFace};
    std::map<RigMenuItem, bool> menu{{RigMenuItem::Radio1, false},
                                     {RigMenuItem::Radio21, false},
                                     {RigMenuItem::NoRadio1, false}};
    std::vector<std::pair<std::string, std::string>> errors;

    bool isTicked(int rig) const override { return ticked.at(static_cast<std::size_t>(rig - 1)); }
    void setTicked(int rig, bool t) override { ticked.at(static_cast<std::size_t>(rig - 1)) = t; }
    void setLamp(int rig, NamedColour c) override {
        lamps.at(static_cast<std::size_t>(rig - 1)) = c;
    }
    void setMenuCheck(RigMenuItem item, bool checked) override { menu[item] = checked; }
    void showError(const std::string& text, const std::string& title) override {
        errors.emplace_back(text, title);
    }
    NamedColour lamp(int rig) const { return lamps.at(static_cast<std::size_t>(rig - 1)); }
};

class RigTrackerTest : public ::testing::Test, protected testing::LinkOnFakePort {
  protected:
    RigTrackerTest()
        : controller(wire),
          tracker(
              link, view, [this] { return controllerOnline; },
              [this]() -> std::unique_ptr<RigServer> {
                  ++serversMade;
                  if (noServer) return nullptr;
                  return std::make_unique<FakeRigServer>(rig);
              }) {
        link.enableExchanges();
    }

    // Rig 1 ticked and the client connected, with nothing sent yet.
    void followRig1() {
        view.ticked = {true, false};
        tracker.OpenRigClient();
        pump.advance(0ms);
        controller.received.clear();
    }

    // Rig 1 followed from 14074 kHz, then its move to 14075 kHz out on the link and awaiting
    // an answer the controller holds back.
    void awaitAnswerTo14075() {
        rig.set(1, 14'074'000);
        followRig1();
        controller.answering = false;
        rig.set(1, 14'075'000);
        rig.report(1);
        pump.advance(0ms);
    }

    // The data bytes of every command 3 the controller received.
    std::vector<Bytes> frequencyFrames() const {
        std::vector<Bytes> out;
        for (const Bytes& c : controller.commands(kSetFrequencyCommand)) {
            out.emplace_back(c.begin() + 2, c.end());
        }
        return out;
    }

    ScriptedController controller;
    FakeRigState rig;
    FakeView view;
    bool controllerOnline = true;
    bool noServer = false;
    int serversMade = 0;
    RigTracker tracker;
};

TEST(FrequencyPayload, TruncatedKilohertzLowByteFirstWithinSixteenBits) {
    EXPECT_EQ(frequencyPayload(14'074'000), (Bytes{0xFA, 0x36}));
    EXPECT_EQ(frequencyPayload(7'199'999), (Bytes{0x1F, 0x1C}));  // 7199, not 7200
    EXPECT_EQ(frequencyPayload(999), (Bytes{0x00, 0x00}));
    EXPECT_EQ(frequencyPayload(65'535'999), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(frequencyPayload(65'536'000), std::nullopt);
    EXPECT_EQ(frequencyPayload(144'300'000), std::nullopt);  // would be 13228 kHz
    EXPECT_EQ(frequencyPayload(1e300), std::nullopt);
    EXPECT_EQ(frequencyPayload(-1), std::nullopt);
    EXPECT_EQ(frequencyPayload(std::nan("")), std::nullopt);
}

TEST_F(RigTrackerTest, OpeningSendsTheTickedRigsFrequencyAsCommand3WithTheFlag) {
    rig.set(1, 14'074'000);
    view.ticked = {true, false};
    tracker.OpenRigClient();
    pump.advance(0ms);

    const auto frames = controller.commands(kSetFrequencyCommand);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][0] & kSequenceFlag, kSequenceFlag);
    EXPECT_EQ(Bytes(frames[0].begin() + 2, frames[0].end()), (Bytes{0xFA, 0x36}));
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);
    EXPECT_EQ(view.lamp(2), NamedColour::clBtnFace);
    EXPECT_EQ(tracker.RigLampCountdown(), kRigLampPolls);
    EXPECT_TRUE(tracker.following());
    EXPECT_EQ(rig.connectCalls, 1);
}

TEST_F(RigTrackerTest, ReportsSendTruncatedKilohertzAndAModeOnlyChangeSendsNothing) {
    rig.set(1, 3'500'000);
    followRig1();
    rig.set(1, 7'199'999);
    rig.report(1);
    pump.advance(0ms);
    // A mode change reports again with the frequency unchanged: the antenna is there already.
    rig.report(1);
    pump.advance(0ms);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0x1F, 0x1C}}));
}

TEST_F(RigTrackerTest, ReportsOfTheUntickedRigOnlyPaintItsBox) {
    rig.set(1, 14'074'000);
    rig.set(2, 21'074'000);
    view.ticked = {false, true};
    tracker.OpenRigClient();
    pump.advance(0ms);
    ASSERT_EQ(view.lamp(2), NamedColour::clLime);
    tracker.Radio1Click();
    controller.received.clear();
    rig.report(2);
    pump.advance(0ms);
    EXPECT_TRUE(frequencyFrames().empty());
    EXPECT_EQ(view.lamp(2), NamedColour::clBtnFace);
}

TEST_F(RigTrackerTest, NoRadioAfterTheClientExistsPaintsBtnFaceAndSendsNothing) {
    rig.set(1, 14'074'000);
    followRig1();
    ASSERT_EQ(view.lamp(1), NamedColour::clLime);
    tracker.NoRadio1Click();
    rig.report(1);
    pump.advance(0ms);
    rig.report(2);
    pump.advance(0ms);
    EXPECT_TRUE(frequencyFrames().empty());
    EXPECT_EQ(view.lamp(1), NamedColour::clBtnFace);
    EXPECT_EQ(view.lamp(2), NamedColour::clBtnFace);
    EXPECT_TRUE(tracker.RigClient() != nullptr);
}

TEST_F(RigTrackerTest, MenuChoicesFollowTheTableAndDoNothingElse) {
    tracker.Radio1Click();
    EXPECT_EQ(view.ticked, (std::array<bool, 2>{true, false}));
    EXPECT_TRUE(view.menu[RigMenuItem::Radio1]);
    EXPECT_FALSE(view.menu[RigMenuItem::Radio21]);
    EXPECT_FALSE(view.menu[RigMenuItem::NoRadio1]);

    tracker.Radio21Click();
    EXPECT_EQ(view.ticked, (std::array<bool, 2>{false, true}));
    EXPECT_FALSE(view.menu[RigMenuItem::Radio1]);
    EXPECT_TRUE(view.menu[RigMenuItem::Radio21]);
    EXPECT_FALSE(view.menu[RigMenuItem::NoRadio1]);

    tracker.NoRadio1Click();
    EXPECT_EQ(view.ticked, (std::array<bool, 2>{false, false}));
    EXPECT_FALSE(view.menu[RigMenuItem::Radio1]);
    EXPECT_FALSE(view.menu[RigMenuItem::Radio21]);
    EXPECT_TRUE(view.menu[RigMenuItem::NoRadio1]);

    EXPECT_EQ(serversMade, 0);
    EXPECT_TRUE(controller.received.empty());
}

TEST_F(RigTrackerTest, PollStepChecksTheTickedRigsItemAndNeverRemovesAMark) {
    controllerOnline = false;
    view.ticked = {false, true};
    view.menu[RigMenuItem::Radio1] = true;
    tracker.RigPollStep();
    EXPECT_TRUE(view.menu[RigMenuItem::Radio21]);
    EXPECT_TRUE(view.menu[RigMenuItem::Radio1]);
}

TEST_F(RigTrackerTest, PollStepOpensTheClientOnlyWithTheControllerOnlineAndARigTicked) {
    rig.set(2, 14'074'000);
    controllerOnline = false;
    view.ticked = {false, true};
    tracker.RigPollStep();
    EXPECT_EQ(serversMade, 0);

    controllerOnline = true;
    view.ticked = {false, false};
    tracker.RigPollStep();
    EXPECT_EQ(serversMade, 0);

    view.ticked = {false, true};
    tracker.RigPollStep();
    tracker.RigPollStep();
    EXPECT_EQ(serversMade, 1);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xFA, 0x36}}));
}

TEST_F(RigTrackerTest, LimeTurnsGreenAfterFivePollsAndOnlyLimeBoxesChange) {
    rig.set(1, 14'074'000);
    rig.status[1] = RigStatus::NotResponding;
    view.ticked = {true, true};
    tracker.OpenRigClient();
    pump.advance(0ms);
    ASSERT_EQ(view.lamp(1), NamedColour::clLime);
    ASSERT_EQ(view.lamp(2), NamedColour::clOlive);

    for (int i = 0; i < kRigLampPolls - 1; ++i) tracker.RigPollStep();
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);
    tracker.RigPollStep();
    EXPECT_EQ(view.lamp(1), NamedColour::clGreen);
    EXPECT_EQ(view.lamp(2), NamedColour::clOlive);
    EXPECT_EQ(tracker.RigLampCountdown(), 0);

    // A fresh report restarts the count.
    rig.report(1);
    pump.advance(0ms);
    tracker.RigPollStep();
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);
    EXPECT_EQ(tracker.RigLampCountdown(), kRigLampPolls - 1);
}

TEST_F(RigTrackerTest, ConnectionErrorShowsOncePerRunAndChangesAreNotFollowed) {
    rig.connectSucceeds = false;
    rig.set(2, 14'074'000);
    view.ticked = {false, true};
    for (int i = 0; i < 3; ++i) tracker.RigPollStep();
    tracker.ConfigRadio1Click();
    tracker.btSetOmniClick();

    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].first,
              "Error connecting to the radio - Check Cat Radio > Config Radio\n"
              "fake server refused");
    EXPECT_EQ(view.errors[0].second, "Skarnel Utility");
    EXPECT_EQ(serversMade, 1);
    EXPECT_EQ(rig.connectCalls, 1);
    EXPECT_FALSE(tracker.following());
    EXPECT_EQ(tracker.connectError(), "fake server refused");
    // The dialog still opens, so the operator can repair the settings.
    EXPECT_EQ(rig.dialogsShown, 2);
    EXPECT_EQ(rig.listener, nullptr);
    EXPECT_TRUE(frequencyFrames().empty());
}

TEST_F(RigTrackerTest, AnUnreachableRigAtFirstConnectIsToldWithTheServersReasonOrItsStatus) {
    rig.status[0] = RigStatus::NotResponding;
    rig.reason[0] = "localhost:4534: connection refused";
    followRig1();
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].first,
              "Error connecting to the radio - Check Cat Radio > Config Radio\n"
              "localhost:4534: connection refused");
    EXPECT_EQ(view.errors[0].second, "Skarnel Utility");
}

TEST_F(RigTrackerTest, AnUnreachableRigWithoutAReasonIsToldByItsStatus) {
    rig.status[0] = RigStatus::PortBusy;
    followRig1();
    ASSERT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(view.errors[0].first,
              "Error connecting to the radio - Check Cat Radio > Config Radio\n"
              "port busy or missing");
}

TEST_F(RigTrackerTest, ConnectionErrorAlsoWhenNoServerCanBeMade) {
    noServer = true;
    tracker.ConfigRadio1Click();
    tracker.ConfigRadio1Click();
    EXPECT_EQ(view.errors.size(), 1u);
    EXPECT_EQ(tracker.RigClient(), nullptr);
    EXPECT_TRUE(tracker.clientCreated());
}

TEST_F(RigTrackerTest, ConfigRadioOpensTheClientWithoutWaitingForTheController) {
    controllerOnline = false;
    rig.set(1, 14'074'000);
    view.ticked = {true, false};
    tracker.ConfigRadio1Click();
    EXPECT_EQ(serversMade, 1);
    EXPECT_EQ(rig.dialogsShown, 1);
    EXPECT_TRUE(view.errors.empty());
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);
    EXPECT_TRUE(frequencyFrames().empty());
}

TEST_F(RigTrackerTest, ControllerOfflinePaintsTheLampAndSendsNothingUntilItIsBack) {
    rig.set(1, 14'074'000);
    followRig1();
    controllerOnline = false;
    rig.set(1, 7'074'000);
    rig.report(1);
    pump.advance(0ms);
    EXPECT_TRUE(frequencyFrames().empty());
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);

    controllerOnline = true;
    rig.report(1);
    pump.advance(0ms);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xA2, 0x1B}}));  // 7074 kHz
}

TEST_F(RigTrackerTest, FrequenciesAboveSixteenBitsOfKilohertzAreNotSent) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.set(1, 144'300'000);
    rig.report(1);
    pump.advance(0ms);
    EXPECT_TRUE(frequencyFrames().empty());
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);
}

TEST_F(RigTrackerTest, RigNotOnlinePaintsOliveAndSendsNothing) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.status[0] = RigStatus::PortBusy;
    rig.report(1);
    pump.advance(0ms);
    EXPECT_EQ(view.lamp(1), NamedColour::clOlive);
    // Online with no reading is a broken report, not a frequency.
    rig.status[0] = RigStatus::Online;
    rig.hz[0].reset();
    rig.report(1);
    pump.advance(0ms);
    EXPECT_EQ(view.lamp(1), NamedColour::clOlive);
    EXPECT_TRUE(frequencyFrames().empty());
}

TEST_F(RigTrackerTest, AFailingServerInsideAReportIsContained) {
    rig.set(1, 14'074'000);
    followRig1();
    tracker.RigPollStep();
    const int countdown = tracker.RigLampCountdown();
    rig.throwOnRead = true;
    EXPECT_NO_THROW(rig.report(1));
    EXPECT_EQ(view.lamp(1), NamedColour::clOlive);
    EXPECT_EQ(tracker.RigLampCountdown(), countdown);
    EXPECT_TRUE(frequencyFrames().empty());
    EXPECT_FALSE(link.busy());

    rig.throwOnRead = false;
    rig.set(1, 14'080'000);
    rig.report(1);
    pump.advance(0ms);
    EXPECT_EQ(frequencyFrames().size(), 1u);
}

TEST_F(RigTrackerTest, LosingTheRigTurnsItsLampOlive) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.statusReport(1, RigStatus::NotResponding);
    EXPECT_EQ(view.lamp(1), NamedColour::clOlive);
    // Coming back online waits for the params change that follows it.
    rig.statusReport(1, RigStatus::Online);
    EXPECT_EQ(view.lamp(1), NamedColour::clOlive);
    EXPECT_TRUE(frequencyFrames().empty());
}

TEST_F(RigTrackerTest, ReportsWhileAFrequencyWaitsAreHeldAndOnlyTheLatestIsSent) {
    rig.set(1, 14'074'000);
    view.ticked = {true, true};
    rig.set(2, 28'074'000);
    tracker.OpenRigClient();
    pump.advance(kLinkTick);
    controller.received.clear();

    controller.answering = false;
    // The first report goes out behind a key press that draws no answer; the others come
    // while it waits.
    link.send(Command{8, {5}, false, 1, 100ms}, {});
    rig.set(1, 14'075'000);
    rig.report(1);
    pump.advance(0ms);
    for (auto [at, hz] :
         {std::pair{clock.now() + 60ms, 14'076'000.0}, {clock.now() + 90ms, 14'077'000.0}}) {
        clock.at(at, [this, hz] {
            rig.set(1, hz);
            rig.report(1);
            rig.report(2);
        });
    }
    pump.advance(200ms);
    controller.answering = true;
    for (int i = 0; i < 20; ++i) pump.advance(kLinkTick);
    // Tries repeat a frame; what matters is which frequencies went out, in order.
    auto frames = frequencyFrames();
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    // 14075 kHz, then rig 1's latest (14077 kHz) and rig 2, once each.
    EXPECT_EQ(frames, (std::vector<Bytes>{{0xFB, 0x36}, {0xFD, 0x36}, {0xAA, 0x6D}}));
    EXPECT_FALSE(link.busy());
}

TEST_F(RigTrackerTest, AReportArrivingDuringItsOwnSendIsSentAfterIt) {
    rig.set(1, 14'074'000);
    followRig1();
    const int sentBefore = tracker.framesSent();
    controller.answering = false;
    clock.at(clock.now() + 30ms, [this] {
        rig.set(1, 14'080'000);
        rig.report(1);
    });
    rig.set(1, 14'077'000);
    rig.report(1);
    pump.advance(0ms);
    controller.answering = true;
    // The retry of the first is answered; then the later report goes out.
    for (int i = 0; i < 10; ++i) pump.advance(kLinkTick);
    const auto frames = frequencyFrames();
    ASSERT_GE(frames.size(), 2u);
    EXPECT_EQ(frames.front(), (Bytes{0xFD, 0x36}));
    EXPECT_EQ(frames.back(), (Bytes{0x00, 0x37}));  // 14080 kHz
    EXPECT_EQ(tracker.framesSent() - sentBefore, 2);
}

TEST_F(RigTrackerTest, ChangesWhileTheRadioTransmitsWaitAndOnlyTheLatestGoesOutOnReceive) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.transmit(1, true);
    EXPECT_TRUE(tracker.holdingForTransmit());
    for (double hz : {14'075'000.0, 21'074'000.0, 14'080'000.0}) {
        rig.set(1, hz);
        rig.report(1);
        pump.advance(kLinkTick);
    }
    for (int i = 0; i < 10; ++i) pump.advance(kLinkTick);
    EXPECT_TRUE(frequencyFrames().empty());
    // The lamp still shows the rig is followed.
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);

    rig.transmit(1, false);
    EXPECT_FALSE(tracker.holdingForTransmit());
    for (int i = 0; i < 10; ++i) pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0x00, 0x37}}));  // 14080 kHz, once
}

TEST_F(RigTrackerTest, BackOnReceiveWithoutAChangeSendsNothing) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.transmit(1, true);
    rig.transmit(1, false);
    for (int i = 0; i < 5; ++i) pump.advance(kLinkTick);
    EXPECT_TRUE(frequencyFrames().empty());
    // A change after it goes out at once, as before.
    rig.set(1, 7'074'000);
    rig.report(1);
    pump.advance(0ms);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xA2, 0x1B}}));
}

TEST_F(RigTrackerTest, AChangeReadTogetherWithTheReturnToReceiveGoesOutOnce) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.transmit(1, true);
    rig.set(1, 14'075'000);
    rig.report(1);
    // One reading brings a new frequency and receive: the server reports the change first,
    // then the transmit state.
    rig.onAir[0] = false;
    rig.set(1, 14'080'000);
    rig.report(1);
    rig.transmit(1, false);
    for (int i = 0; i < 10; ++i) pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0x00, 0x37}}));
}

TEST_F(RigTrackerTest, ARadioTransmittingWhenTheClientOpensHasItsFrequencyHeldUntilReceive) {
    rig.set(1, 14'074'000);
    rig.onAir[0] = true;
    view.ticked = {true, false};
    tracker.OpenRigClient();
    pump.advance(kLinkTick);
    EXPECT_TRUE(controller.commands(kSetFrequencyCommand).empty());
    rig.transmit(1, false);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xFA, 0x36}}));
}

TEST_F(RigTrackerTest, WithBothRigsTickedOneTransmittingHoldsTheOthersChangesToo) {
    rig.set(1, 14'074'000);
    rig.set(2, 28'074'000);
    view.ticked = {true, true};
    tracker.OpenRigClient();
    for (int i = 0; i < 5; ++i) pump.advance(kLinkTick);
    controller.received.clear();

    rig.transmit(2, true);
    rig.set(1, 14'080'000);
    rig.report(1);
    for (int i = 0; i < 5; ++i) pump.advance(kLinkTick);
    EXPECT_TRUE(frequencyFrames().empty());
    rig.transmit(2, false);
    for (int i = 0; i < 5; ++i) pump.advance(kLinkTick);
    // Rig 1's change only: rig 2 did not move while it transmitted.
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0x00, 0x37}}));
}

TEST_F(RigTrackerTest, ReceiveWhileAnEarlierFrequencyAwaitsItsAnswerSendsTheLatestAfterIt) {
    awaitAnswerTo14075();
    ASSERT_TRUE(link.busy());
    rig.transmit(1, true);
    rig.set(1, 14'080'000);
    rig.report(1);
    rig.transmit(1, false);
    controller.answering = true;
    for (int i = 0; i < 20; ++i) pump.advance(kLinkTick);
    auto frames = frequencyFrames();
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    EXPECT_EQ(frames, (std::vector<Bytes>{{0xFB, 0x36}, {0x00, 0x37}}));
    EXPECT_EQ(tracker.framesSent(), 2 + 1);  // the opening frequency, then these two
}

TEST_F(RigTrackerTest, KeyingUpWhileAnAnswerIsAwaitedHoldsWhatCameMeanwhile) {
    awaitAnswerTo14075();
    rig.set(1, 14'080'000);
    rig.report(1);
    rig.transmit(1, true);
    controller.answering = true;
    for (int i = 0; i < 20; ++i) pump.advance(kLinkTick);
    auto frames = frequencyFrames();
    frames.erase(std::unique(frames.begin(), frames.end()), frames.end());
    // The frame already on the line is answered; the later change waits for receive.
    EXPECT_EQ(frames, (std::vector<Bytes>{{0xFB, 0x36}}));
    rig.transmit(1, false);
    for (int i = 0; i < 5; ++i) pump.advance(kLinkTick);
    frames = frequencyFrames();
    EXPECT_EQ(frames.back(), (Bytes{0x00, 0x37}));
}

// --- Retune step, returns and the pause ---

TEST(WorthRetuning, AMoveOfTheStepOrAnotherBandIsWorthIt) {
    EXPECT_FALSE(worthRetuning(14074, 14074, 1));
    EXPECT_TRUE(worthRetuning(14074, 14075, 1));
    EXPECT_TRUE(worthRetuning(14075, 14074, 1));
    EXPECT_FALSE(worthRetuning(14074, 14078, 5));
    EXPECT_TRUE(worthRetuning(14074, 14079, 5));
    EXPECT_TRUE(worthRetuning(14079, 14074, 5));
    // Three kHz, but into the 20m window from outside any band.
    EXPECT_TRUE(worthRetuning(13998, 14001, 5));
    EXPECT_TRUE(worthRetuning(7299, 7301, 50));
    EXPECT_FALSE(worthRetuning(14001, 14499, 1000));
}

TEST_F(RigTrackerTest, MovesBelowTheStepWaitUntilTheyAddUpAndAreMeasuredFromTheLastSent) {
    rig.stepKHz[0] = 5;
    rig.set(1, 14'074'000);
    followRig1();
    for (double hz : {14'076'000.0, 14'078'900.0, 14'079'000.0, 14'081'000.0, 14'083'000.0}) {
        rig.set(1, hz);
        rig.report(1);
        pump.advance(kLinkTick);
    }
    // 14079 is 5 kHz from 14074; 14083 only 4 from 14079.
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xFF, 0x36}}));
    EXPECT_EQ(tracker.lastSentKHz(), 14079u);
    rig.set(1, 14'084'000);
    rig.report(1);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames().back(), (Bytes{0x04, 0x37}));  // 14084 kHz
}

TEST_F(RigTrackerTest, ASmallMoveOntoAnotherBandIsSentWhateverTheStep) {
    rig.stepKHz[0] = 50;
    rig.set(1, 13'998'000);
    followRig1();
    rig.set(1, 14'001'000);
    rig.report(1);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xB1, 0x36}}));  // 14001 kHz
}

TEST_F(RigTrackerTest, AFrequencyTheControllerRefusedIsNotTheOneMovesAreMeasuredFrom) {
    rig.set(1, 14'074'000);
    controller.statusFor[kSetFrequencyCommand] = 3;
    followRig1();
    EXPECT_EQ(tracker.lastSentKHz(), std::nullopt);
    controller.statusFor.clear();
    // The same frequency again: the controller never took it, so it goes out.
    rig.report(1);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xFA, 0x36}}));
    EXPECT_EQ(tracker.lastSentKHz(), 14074u);
}

TEST_F(RigTrackerTest, TheControllerBackSendsTheRigsFrequencyOnceAtTheFirstPollEvenUnmoved) {
    rig.set(1, 14'074'000);
    followRig1();
    tracker.RigPollStep();
    controllerOnline = false;
    tracker.RigPollStep();
    rig.report(1);
    pump.advance(kLinkTick);
    EXPECT_TRUE(frequencyFrames().empty());

    controllerOnline = true;
    tracker.RigPollStep();
    pump.advance(kLinkTick);
    tracker.RigPollStep();
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xFA, 0x36}}));
}

TEST_F(RigTrackerTest, ARigBackAfterALossSendsItsFrequencyEvenUnmoved) {
    rig.set(1, 14'074'000);
    followRig1();
    rig.statusReport(1, RigStatus::NotResponding);
    rig.statusReport(1, RigStatus::Online);
    rig.report(1);
    pump.advance(kLinkTick);
    // Only the return sends it again: the next unmoved report does not.
    rig.report(1);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0xFA, 0x36}}));
}

TEST_F(RigTrackerTest, PausedFollowingSendsNothingKeepsTheRigAndResumingSendsWhereItIsNow) {
    rig.set(1, 14'074'000);
    followRig1();
    tracker.setFollowingPaused(true);
    EXPECT_TRUE(tracker.followingPaused());
    for (double hz : {14'080'000.0, 21'074'000.0}) {
        rig.set(1, hz);
        rig.report(1);
        pump.advance(kLinkTick);
    }
    EXPECT_TRUE(frequencyFrames().empty());
    EXPECT_EQ(view.lamp(1), NamedColour::clLime);
    EXPECT_EQ(view.ticked, (std::array<bool, 2>{true, false}));

    tracker.setFollowingPaused(false);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0x52, 0x52}}));  // 21074 kHz

    // Paused and resumed without a move: the antenna may have been retuned meanwhile.
    tracker.setFollowingPaused(true);
    tracker.setFollowingPaused(false);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames().size(), 2u);
}

TEST_F(RigTrackerTest, ResumingWhileTheRadioTransmitsSendsOnceItIsBackOnReceive) {
    rig.set(1, 14'074'000);
    followRig1();
    tracker.setFollowingPaused(true);
    rig.transmit(1, true);
    rig.set(1, 14'090'000);
    rig.report(1);
    tracker.setFollowingPaused(false);
    for (int i = 0; i < 5; ++i) pump.advance(kLinkTick);
    EXPECT_TRUE(frequencyFrames().empty());
    rig.transmit(1, false);
    pump.advance(kLinkTick);
    EXPECT_EQ(frequencyFrames(), (std::vector<Bytes>{{0x0A, 0x37}}));  // 14090 kHz
}

TEST(RigTrackerLifetime, AnAnswerAfterTheTrackerIsGoneDoesNothing) {
    FakeSerialState wire;
    Comm32 port(std::make_unique<FakeSerialBackend>(wire), nullptr);
    FakeClock clock;
    FakePump pump(clock);
    Link link(port);
    pump.attach(&link);
    port.OpenPort("bio1");
    link.enableExchanges();
    FakeRigState rig;
    rig.set(1, 14'074'000);
    FakeView view;
    view.ticked = {true, false};
    {
        RigTracker tracker(
            link, view, [] { return true; },
            [&rig] { return std::make_unique<FakeRigServer>(rig); });
        tracker.OpenRigClient();
        // Nobody answers: its frequency still waits when the tracker goes.
        ASSERT_TRUE(link.busy());
    }
    pump.advance(1s);
    EXPECT_FALSE(link.busy());
    EXPECT_EQ(rig.listener, nullptr);
}

}  // namespace
}  // namespace kt6
