// Status decoding and the poll tick, on an in-memory port with a recording view.
#include <gtest/gtest.h>

#include <optional>

#include <functional>

#include "core/status_poll.h"
#include "support/link_on_fake_port.h"

namespace kt6 {
namespace {

StatusRecord exampleRecord() {
    StatusRecord r;
    r.firmwareMinor = 13;
    r.firmwareMajor = 1;
    r.frequency = 7157;
    r.band = 10;
    r.heading = 0;
    r.drivers = 3;
    return r;
}

TEST(StatusText, headingTwoActsLikeReversedAndThreeIsUnknown) {
    EXPECT_EQ(headingMode(0), 0);
    EXPECT_EQ(headingMode(1), 1);
    EXPECT_EQ(headingMode(2), 1);
    EXPECT_FALSE(headingMode(3).has_value());
    EXPECT_FALSE(headingMode(255).has_value());
}

TEST(StatusText, bandLampWindowsAtTheirBounds) {
    EXPECT_EQ(bandLampKey(6999), std::nullopt);
    EXPECT_EQ(bandLampKey(7000), 7);
    EXPECT_EQ(bandLampKey(7300), 7);
    EXPECT_EQ(bandLampKey(7301), std::nullopt);
    EXPECT_EQ(bandLampKey(29800), 1);
    EXPECT_EQ(bandLampKey(29801), std::nullopt);
    EXPECT_EQ(bandLampKey(50000), 0);
    EXPECT_EQ(bandLampKey(51000), 0);
    EXPECT_EQ(bandLampKey(10200), 6);
    EXPECT_EQ(bandLampKey(0), std::nullopt);
}

TEST(StatusText, recordRoundTripsAndShortContentIsRefused) {
    StatusRecord r = exampleRecord();
    r.flags = 0x0102;
    r.moving = true;
    Bytes b = encodeStatusRecord(r);
    ASSERT_EQ(b.size(), kStatusRecordSize);
    EXPECT_EQ(b[5], 0xF5);
    EXPECT_EQ(b[6], 0x1B);
    auto back = decodeStatusRecord(b);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->frequency, 7157);
    EXPECT_EQ(back->flags, 0x0102);
    EXPECT_TRUE(back->moving);
    b.pop_back();
    EXPECT_FALSE(decodeStatusRecord(b));
}

struct RecordingView : PollView {
    std::vector<std::string> calls;
    std::vector<std::uint32_t> frequencies;
    std::vector<bool> onlineChanges;
    std::function<void(bool)> onOnlineChange;
    std::function<void()> onRecord;
    std::optional<StatusRecord> shown;
    int lamp = -1;
    bool buttons = false;
    std::string status;
    void showDisplay() override { calls.push_back("display"); }
    void showRetracted() override { calls.push_back("retracted"); }
    void placeBandLamp(int key) override {
        calls.push_back("lamp");
        lamp = key;
    }
    void rigPollStep() override { calls.push_back("rig"); }
    void setLinkButtonsEnabled(bool e) override { buttons = e; }
    void setStatusLine(const std::string& t) override { status = t; }
    void showRecord(const StatusRecord& r) override {
        shown = r;
        frequencies.push_back(r.frequency);
        if (onRecord) onRecord();
    }
    void onlineChanged(bool online) override {
        onlineChanges.push_back(online);
        if (onOnlineChange) onOnlineChange(online);
    }
};

class PollTest : public ::testing::Test, protected testing::LinkOnFakePort {
  protected:
    PollTest() { poll.emplace(link, view); }
    // Answers the request the poll posted last with this record.
    void answer(StatusRecord r) {
        r.sequence = static_cast<std::uint8_t>(link.lastPostedSequence());
        Bytes content = encodeStatusRecord(r);
        wire.feedReceived(encodeFrame(content).value());
    }

    RecordingView view;
    std::optional<StatusPoll> poll;
};

TEST_F(PollTest, replyIsReadOnTheNextTickAndTheLampFollowsOnTheOneAfter) {
    poll->tick();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"retracted", "rig"}));
    answer(exampleRecord());
    view.calls.clear();
    poll->tick();
    ASSERT_TRUE(view.shown);
    EXPECT_TRUE(poll->ControllerOnline());
    EXPECT_TRUE(view.buttons);
    EXPECT_EQ(poll->CurrentFrequency(), 7157u);
    EXPECT_EQ(poll->FirmwareVersion(), 269u);
    EXPECT_EQ(view.lamp, -1);
    view.calls.clear();
    poll->tick();
    EXPECT_EQ(view.lamp, 7);
    EXPECT_EQ(view.calls, (std::vector<std::string>{"display", "display", "lamp", "rig"}));
}

TEST_F(PollTest, frequencyOutsideEveryWindowShowsTheDisplayButLeavesTheLamp) {
    poll->tick();
    StatusRecord r = exampleRecord();
    r.frequency = 7301;
    answer(r);
    poll->tick();
    view.calls.clear();
    poll->tick();
    EXPECT_EQ(view.calls, (std::vector<std::string>{"display", "rig"}));
}

TEST_F(PollTest, headingModeFollowsKnownHeadingsOnly) {
    poll->tick();
    StatusRecord r = exampleRecord();
    r.heading = 2;
    answer(r);
    poll->tick();
    EXPECT_EQ(poll->HeadingMode(), 1);
    r.heading = 3;
    answer(r);
    poll->tick();
    EXPECT_EQ(poll->HeadingMode(), 1);
    r.heading = 0;
    answer(r);
    poll->tick();
    EXPECT_EQ(poll->HeadingMode(), 0);
}

TEST_F(PollTest, thirtyNineMissedPollsTakeTheLinkOffline) {
    poll->tick();
    answer(exampleRecord());
    poll->tick();
    ASSERT_TRUE(poll->ControllerOnline());
    for (int i = 0; i < 38; ++i) poll->tick();
    EXPECT_TRUE(poll->ControllerOnline());
    EXPECT_EQ(link.missedPolls(), 38);
    poll->tick();
    EXPECT_FALSE(poll->ControllerOnline());
    EXPECT_EQ(view.status, "Stato: in connessione...");
    EXPECT_FALSE(view.buttons);
    // Offline ticks count nothing, and still post a request every time.
    const auto posted = link.lastPostedSequence();
    poll->tick();
    EXPECT_EQ(link.missedPolls(), 39);
    EXPECT_NE(link.lastPostedSequence(), posted);
    // A matching reply brings it straight back.
    answer(exampleRecord());
    poll->tick();
    EXPECT_TRUE(poll->ControllerOnline());
    EXPECT_TRUE(view.buttons);
    EXPECT_EQ(link.missedPolls(), 0);
}

TEST_F(PollTest, replyWithAnotherSequenceNeitherCountsNorResets) {
    poll->tick();
    answer(exampleRecord());
    poll->tick();
    for (int i = 0; i < 5; ++i) poll->tick();
    ASSERT_EQ(link.missedPolls(), 5);
    StatusRecord r = exampleRecord();
    Bytes content = encodeStatusRecord(r);
    content[0] = static_cast<std::uint8_t>(link.lastPostedSequence() + 3);
    wire.feedReceived(encodeFrame(content).value());
    view.shown.reset();
    poll->tick();
    EXPECT_EQ(link.missedPolls(), 5);
    EXPECT_FALSE(view.shown);
}

TEST_F(PollTest, strayFrameAheadOfTheReplyDoesNotLeaveThePollBehind) {
    poll->tick();
    // A late reply to an exchange's earlier try sits in front of the status reply.
    wire.feedReceived(encodeFrame(Bytes{0x55, 0}).value());
    answer(exampleRecord());
    poll->tick();
    ASSERT_TRUE(view.shown);
    EXPECT_EQ(view.shown->frequency, 7157);
    EXPECT_TRUE(poll->ControllerOnline());
    // And the next tick reads its own reply, not the one before.
    StatusRecord r = exampleRecord();
    r.frequency = 14074;
    answer(r);
    poll->tick();
    EXPECT_EQ(view.shown->frequency, 14074);
}

TEST_F(PollTest, shortReplyCountsAsAnswerButIsNotDecoded) {
    poll->tick();
    Bytes content{static_cast<std::uint8_t>(link.lastPostedSequence()), 0, 13, 1};
    wire.feedReceived(encodeFrame(content).value());
    poll->tick();
    EXPECT_TRUE(poll->ControllerOnline());
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(poll->shortReplies(), 1);
}

TEST_F(PollTest, aTickDuringAnExchangeSendsItsRequestOnlyOnceTheExchangeIsOver) {
    link.enableExchanges();
    std::optional<std::uint8_t> status;
    link.send(Command{8, {5}, false, 4, std::chrono::milliseconds(100)},
              [&](const Outcome& o) { status = o.status; });
    const auto exchangeSequence = static_cast<std::uint8_t>(link.txSequence());
    const auto written = wire.written.size();
    poll->tick();
    // Nothing goes out under the exchange: its frame is the last on the wire.
    EXPECT_EQ(wire.written.size(), written);
    EXPECT_EQ(view.calls.back(), "rig");
    wire.feedReceived(encodeFrame(Bytes{exchangeSequence, 0}).value());
    pump.advance(std::chrono::milliseconds(0));
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0);
    // Then the request, at once, with the next sequence.
    EXPECT_GT(wire.written.size(), written);
    EXPECT_EQ(link.lastPostedSequence(), (exchangeSequence & 0x7F) + 1);
    EXPECT_FALSE(link.busy());
}

TEST_F(PollTest, ticksWhileHeldWorkPausesAreNotCountedAsSilent) {
    poll->tick();
    answer(exampleRecord());
    poll->tick();
    ASSERT_TRUE(poll->ControllerOnline());
    {
        // A service sequence holds the link through a long pause: 60 ticks go by.
        Link::Hold hold(link);
        for (int i = 0; i < 60; ++i) poll->tick();
    }
    pump.advance(std::chrono::milliseconds(0));
    EXPECT_TRUE(poll->ControllerOnline());
    EXPECT_EQ(link.missedPolls(), 0);
}

TEST_F(PollTest, aLostDeviceTakesTheLinkOfflineAtOnce) {
    poll->tick();
    answer(exampleRecord());
    poll->tick();
    ASSERT_TRUE(poll->ControllerOnline());
    poll->deviceLost();
    EXPECT_FALSE(poll->ControllerOnline());
    EXPECT_FALSE(view.buttons);
    EXPECT_EQ(view.status, "Stato: in connessione...");
    EXPECT_EQ(view.onlineChanges, (std::vector<bool>{true, false}));
}

// The poll amid a stream of exchanges, on the fake clock: the 400 ms timer fires wherever
// the clock is, inside an exchange's wait too; keys are pressed from the top level, as the
// window delivers clicks only after the exchange before them has returned.
class BusyPollTest : public PollTest {
  protected:
    using ms = std::chrono::milliseconds;
    static constexpr ms kReplyDelay{80};

    BusyPollTest() {
        link.enableExchanges();
        // The controller answers every frame kReplyDelay after it was written; each status
        // reply carries a new frequency, so a stale display shows.
        wire.onWrite = [this](const Bytes& bytes) {
            for (auto b : bytes) {
                if (rx_.feed(b) != FrameReceiver::Event::GoodFrame || !answering) continue;
                Bytes c = rx_.payload();
                Bytes reply{c[0], 0};
                if (c[1] == 1) {
                    StatusRecord r = exampleRecord();
                    r.sequence = c[0];
                    r.frequency = nextFrequency++;
                    reply = encodeStatusRecord(r);
                }
                clock.at(clock.now() + kReplyDelay,
                         [this, frame = encodeFrame(reply).value()] { wire.feedReceived(frame); });
            }
        };
    }
    // Schedules the poll timer's ticks up to `until`.
    void schedulePoll(ms until) {
        for (ms t{400}; t <= until; t += ms(400)) {
            clock.at(t, [this] {
                ++ticks;
                poll->tick();
            });
        }
    }
    // Runs the clock to `until`, pressing a key every `every` whenever the link is free.
    void pressKeys(ms every, ms until) {
        ms nextKey{0};
        while (clock.now() < until) {
            if (clock.now() >= nextKey) {
                nextKey += every;
                pump.send(8, {5}, false, 4, 100);
                ++keys;
                // The event loop between two clicks: posted work runs there.
                pump.advance(ms(0));
            } else {
                pump.advance(ms(10));
            }
        }
    }

    bool answering = true;
    std::uint32_t nextFrequency = 7000;
    int ticks = 0;
    int keys = 0;
    FrameReceiver rx_;
};

TEST_F(BusyPollTest, keysEvery250msLeaveEveryTickItsFreshReply) {
    schedulePoll(ms(10000));
    pressKeys(ms(250), ms(10000) + kReplyDelay);
    EXPECT_EQ(ticks, 25);
    EXPECT_GE(keys, 40);
    // Every tick but the first (which has nothing to read yet) showed a reply, each one
    // newer than the last.
    ASSERT_EQ(view.frequencies.size(), static_cast<std::size_t>(ticks - 1));
    for (std::size_t i = 1; i < view.frequencies.size(); ++i) {
        EXPECT_EQ(view.frequencies[i], view.frequencies[i - 1] + 1) << "tick " << i + 2;
    }
    EXPECT_TRUE(poll->ControllerOnline());
    EXPECT_EQ(view.onlineChanges, (std::vector<bool>{true}));
}

TEST_F(BusyPollTest, theFirstReplyAmidKeysTakesTheLinkOnline) {
    int onlineAtTick = 0;
    view.onOnlineChange = [&](bool online) {
        if (online) onlineAtTick = ticks;
    };
    schedulePoll(ms(2000));
    // The link is busy most of the time: a key every 100 ms, each answered after 80 ms.
    pressKeys(ms(100), ms(2000));
    // Posted by the first tick, read by the second.
    EXPECT_EQ(onlineAtTick, 2);
    EXPECT_TRUE(view.buttons);
}

TEST_F(BusyPollTest, theLinkGoesOfflineAfter39SilentTicksAmidKeys) {
    ms lastReply{0};
    int lastReplyTick = 0;
    view.onRecord = [&] {
        lastReply = clock.now();
        lastReplyTick = ticks;
    };
    ms offlineAt{0};
    int offlineTicks = 0;
    int missedAtOffline = 0;
    view.onOnlineChange = [&](bool online) {
        if (online) return;
        offlineAt = clock.now();
        offlineTicks = ticks;
        missedAtOffline = link.missedPolls();
    };
    schedulePoll(ms(22000));
    pressKeys(ms(250), ms(2000));
    ASSERT_TRUE(poll->ControllerOnline());
    // The controller falls silent; every key now waits out its four tries (about 600 ms),
    // so most ticks fall inside an exchange.
    answering = false;
    pressKeys(ms(250), ms(22000));
    ASSERT_NE(offlineTicks, 0) << "never went offline";
    EXPECT_GE(offlineTicks - lastReplyTick, 39);
    EXPECT_GE(missedAtOffline, 39);
    // No later than the 39th silent tick, give or take the exchange it fell into.
    EXPECT_GE(offlineAt - lastReply, ms(39 * 400) - ms(400));
    EXPECT_LE(offlineAt - lastReply, ms(39 * 400) + ms(650));
    EXPECT_EQ(view.status, "Stato: in connessione...");
    EXPECT_FALSE(view.buttons);
}

}  // namespace
}  // namespace kt6
