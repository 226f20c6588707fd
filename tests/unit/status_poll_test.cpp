// Status decoding and the poll tick, on an in-memory port with a recording view.
#include <gtest/gtest.h>

#include "link/status_poll.h"
#include "support/fake_pump.h"
#include "support/fake_serial.h"

namespace kt6 {
namespace {

using testing::FakePump;
using testing::FakeSerialBackend;
using testing::FakeSerialState;

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

TEST(StatusText, exampleRecordGivesTheDisplayLines) {
    const StatusRecord r = exampleRecord();
    EXPECT_EQ(frequencyLine(r.frequency), "07.157 Mhz");
    EXPECT_EQ(frequencyLine(r.frequency, ','), "07,157 Mhz");
    EXPECT_EQ(bandLine(r.band, r.flags), "Banda 40m (default)");
    EXPECT_EQ(statusLine(r), "OK Vrenk v1.13 DRVs=3");
    EXPECT_EQ(headingPaint(0)->line, "Heading: normal ->");
    EXPECT_EQ(frequencyLine(14074), "14.074 Mhz");
    EXPECT_EQ(frequencyLine(0), "00.000 Mhz");
    EXPECT_EQ(frequencyLine(65535), "65.535 Mhz");
}

TEST(StatusText, customFlagAndUnknownBand) {
    EXPECT_EQ(bandLine(8, 0x0102), "Banda 20m (custom)");
    EXPECT_EQ(bandLine(11, 0), "Banda ? (default)");
    EXPECT_EQ(bandLine(255, 0x0100), "Banda ? (custom)");
}

TEST(StatusText, headingTwoActsLikeReversedAndThreeIsUnknown) {
    EXPECT_EQ(headingPaint(1)->headingMode, 1);
    EXPECT_EQ(headingPaint(2)->headingMode, 1);
    EXPECT_EQ(headingPaint(2)->ldBidir, NamedColour::clRed);
    EXPECT_EQ(headingPaint(1)->ld180, NamedColour::clLime);
    EXPECT_EQ(headingPaint(1)->line, "Heading: <-180\u00B0");
    EXPECT_FALSE(headingPaint(3).has_value());
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

TEST(StatusText, blinkAlternatesOnlyWhileMoving) {
    auto bright = blinkPaint(true, NamedColour::clGray);
    EXPECT_EQ(bright.lMoveText, NamedColour::clRed);
    EXPECT_EQ(bright.ldMove, NamedColour::clYellow);
    EXPECT_TRUE(bright.hideBandLamp);
    EXPECT_TRUE(bright.showMoving);
    auto dark = blinkPaint(true, bright.lMoveText);
    EXPECT_EQ(dark.lMoveText, NamedColour::clGray);
    EXPECT_EQ(dark.ldMove, NamedColour::clBlack);
    EXPECT_FALSE(dark.showMoving);
    auto idle = blinkPaint(false, NamedColour::clRed);
    EXPECT_EQ(idle.ldMove, NamedColour::clGray);
    EXPECT_FALSE(idle.hideBandLamp);
}

struct RecordingView : PollView {
    std::vector<std::string> calls;
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
    void showRecord(const StatusRecord& r) override { shown = r; }
};

class PollTest : public ::testing::Test {
protected:
    PollTest() : port(std::make_unique<FakeSerialBackend>(wire), nullptr), link(port, pump) {
        pump.attach(&link);
        port.OpenPort("bio1");
        poll.emplace(link, view);
    }
    // Answers the request the poll posted last with this record.
    void answer(StatusRecord r) {
        r.sequence = static_cast<std::uint8_t>(link.LastPostedSequence);
        Bytes content = encodeStatusRecord(r);
        wire.feedReceived(encodeFrame(content).value());
    }

    FakeSerialState wire;
    FakePump pump;
    Comm32 port;
    Link link;
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
    EXPECT_TRUE(poll->ControllerOnline);
    EXPECT_TRUE(view.buttons);
    EXPECT_EQ(poll->CurrentFrequency, 7157u);
    EXPECT_EQ(poll->FirmwareVersion, 269u);
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
    EXPECT_EQ(poll->HeadingMode, 1);
    r.heading = 3;
    answer(r);
    poll->tick();
    EXPECT_EQ(poll->HeadingMode, 1);
    r.heading = 0;
    answer(r);
    poll->tick();
    EXPECT_EQ(poll->HeadingMode, 0);
}

TEST_F(PollTest, thirtyNineMissedPollsTakeTheLinkOffline) {
    poll->tick();
    answer(exampleRecord());
    poll->tick();
    ASSERT_TRUE(poll->ControllerOnline);
    for (int i = 0; i < 38; ++i) poll->tick();
    EXPECT_TRUE(poll->ControllerOnline);
    EXPECT_EQ(link.MissedPolls, 38);
    poll->tick();
    EXPECT_FALSE(poll->ControllerOnline);
    EXPECT_EQ(view.status, "Stato: in connessione...");
    EXPECT_FALSE(view.buttons);
    // Offline ticks count nothing, and still post a request every time.
    const auto posted = link.LastPostedSequence;
    poll->tick();
    EXPECT_EQ(link.MissedPolls, 39);
    EXPECT_NE(link.LastPostedSequence, posted);
    // A matching reply brings it straight back.
    answer(exampleRecord());
    poll->tick();
    EXPECT_TRUE(poll->ControllerOnline);
    EXPECT_TRUE(view.buttons);
    EXPECT_EQ(link.MissedPolls, 0);
}

TEST_F(PollTest, replyWithAnotherSequenceNeitherCountsNorResets) {
    poll->tick();
    answer(exampleRecord());
    poll->tick();
    for (int i = 0; i < 5; ++i) poll->tick();
    ASSERT_EQ(link.MissedPolls, 5);
    StatusRecord r = exampleRecord();
    Bytes content = encodeStatusRecord(r);
    content[0] = static_cast<std::uint8_t>(link.LastPostedSequence + 3);
    wire.feedReceived(encodeFrame(content).value());
    view.shown.reset();
    poll->tick();
    EXPECT_EQ(link.MissedPolls, 5);
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
    EXPECT_TRUE(poll->ControllerOnline);
    // And the next tick reads its own reply, not the one before.
    StatusRecord r = exampleRecord();
    r.frequency = 14074;
    answer(r);
    poll->tick();
    EXPECT_EQ(view.shown->frequency, 14074);
}

TEST_F(PollTest, shortReplyCountsAsAnswerButIsNotDecoded) {
    poll->tick();
    Bytes content{static_cast<std::uint8_t>(link.LastPostedSequence), 0, 13, 1};
    wire.feedReceived(encodeFrame(content).value());
    poll->tick();
    EXPECT_TRUE(poll->ControllerOnline);
    EXPECT_FALSE(view.shown);
    EXPECT_EQ(poll->shortReplies, 1);
}

TEST_F(PollTest, tickInsideAWaitingExchangeLeavesInputAndSequenceAlone) {
    link.ExchangeEnabled = true;
    int ticksInside = 0;
    std::int32_t sequenceInside = 0;
    pump.at(std::chrono::milliseconds(20), [&] {
        sequenceInside = link.TxSequence;
        poll->tick();
        ++ticksInside;
        EXPECT_EQ(link.TxSequence, sequenceInside);
        // The reply of the waiting exchange arrives; the poll must not take it.
        wire.feedReceived(encodeFrame(Bytes{static_cast<std::uint8_t>(link.TxSequence), 0}).value());
        poll->tick();
    });
    EXPECT_EQ(link.SendCommand(8, {5}, false, 4, 100), 0);
    EXPECT_EQ(ticksInside, 1);
    EXPECT_EQ(view.calls.back(), "rig");
}

}  // namespace
}  // namespace kt6
