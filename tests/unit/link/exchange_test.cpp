// The command exchange on an in-memory port with a fake clock.
#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "link/link.h"
#include "support/link_on_fake_port.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;

// Splits everything the console wrote into frame contents (checksum dropped).
std::vector<Bytes> framesIn(const Bytes& wire) {
    std::vector<Bytes> out;
    FrameReceiver rx;
    for (auto b : wire) {
        if (rx.feed(b) == FrameReceiver::Event::GoodFrame) {
            Bytes c = rx.payload();
            c.pop_back();
            out.push_back(c);
        }
    }
    return out;
}

Bytes replyFrame(std::uint8_t seq, std::uint8_t status, Bytes data = {}) {
    Bytes content{seq, status};
    content.insert(content.end(), data.begin(), data.end());
    return encodeFrame(content).value();
}

class ExchangeTest : public ::testing::Test, protected testing::LinkOnFakePort {
  protected:
    ExchangeTest() { link.enableExchanges(); }

    // Answers every frame the console writes, from the test's reply function.
    void answerWith(std::function<Bytes(const Bytes& content)> reply) {
        wire.onWrite = [this, reply, rx = std::make_shared<FrameReceiver>()](const Bytes& bytes) {
            for (auto b : bytes) {
                if (rx->feed(b) == FrameReceiver::Event::GoodFrame) {
                    Bytes c = rx->payload();
                    c.pop_back();
                    wire.feedReceived(reply(c));
                }
            }
        };
    }
};

TEST_F(ExchangeTest, replyWithTheSequenceByteEndsTheExchangeWithItsStatus) {
    answerWith([](const Bytes& c) { return replyFrame(c[0], 0); });
    EXPECT_EQ(pump.send(8, {5}, false, 4, 100), 0);
    EXPECT_EQ(wire.written,
              (Bytes{0xF5, 0x0D, 0x08, 0x05, frameChecksum(Bytes{0x0D, 0x08, 0x05}), 0xFA}));
    EXPECT_EQ(link.txSequence(), 13);
}

TEST_F(ExchangeTest, framesWithOtherSequencesAreDroppedAndTheWaitGoesOn) {
    answerWith([](const Bytes& c) {
        Bytes both = replyFrame(static_cast<std::uint8_t>(c[0] + 1), 7);
        Bytes mine = replyFrame(c[0], 3);
        both.insert(both.end(), mine.begin(), mine.end());
        return both;
    });
    for (int i = 0; i < 5; ++i) link.countMissedPoll();
    EXPECT_EQ(pump.send(3, {0x58, 0x1B}, true, 4, 100), 3);
    EXPECT_EQ(framesIn(wire.written).size(), 1u);
    EXPECT_EQ(link.missedPolls(), 0);
}

TEST_F(ExchangeTest, lateReplyToAnEarlierTryOfTheSameCallIsAccepted) {
    // The first try draws nothing; the reply to it arrives during the second try.
    int writes = 0;
    wire.onWrite = [&](const Bytes&) {
        if (++writes == 2)
            clock.at(clock.now() + 20ms, [&] { wire.feedReceived(replyFrame(0x0D, 0)); });
    };
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), 0);
    auto frames = framesIn(wire.written);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], frames[1]);
}

TEST_F(ExchangeTest, noControllerGivesFourIdenticalFramesThen255) {
    const auto start = clock.now();
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    auto frames = framesIn(wire.written);
    ASSERT_EQ(frames.size(), 4u);
    for (const auto& f : frames) EXPECT_EQ(f, (Bytes{0x0D, 0x08, 0x0D}));
    // Each try ends at the first tick past 100 ms (100 to 150 ms), plus one 10 ms wait step.
    const auto waited = clock.now() - start;
    EXPECT_GE(waited, 400ms);
    EXPECT_LE(waited, 640ms);
}

TEST_F(ExchangeTest, tryEndsAtTheFirstTickThatExceedsTheTimeOut) {
    std::vector<std::chrono::milliseconds> sends;
    wire.onWrite = [&](const Bytes&) { sends.push_back(clock.now()); };
    pump.send(1, {}, false, 2, 200);
    ASSERT_EQ(sends.size(), 2u);
    // Ticks every 50 ms: WaitedMs reaches 250 on the fifth tick after the send.
    EXPECT_GE(sends[1] - sends[0], 200ms);
    EXPECT_LE(sends[1] - sends[0], 260ms);
}

TEST_F(ExchangeTest, disabledExchangeSendsNothingButAdvancesTheSequence) {
    link.disableExchanges();
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_TRUE(wire.written.empty());
    EXPECT_EQ(link.txSequence(), 13);
}

TEST_F(ExchangeTest, closedPortGivesUpAtOnceButAdvancesTheSequence) {
    port.ClosePort();
    const auto start = clock.now();
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_EQ(clock.now(), start);
    EXPECT_EQ(link.txSequence(), 13);
    EXPECT_TRUE(wire.written.empty());
}

TEST_F(ExchangeTest, disablingExchangesDuringAWaitEndsTheTries) {
    clock.at(30ms, [&] { link.disableExchanges(); });
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_EQ(framesIn(wire.written).size(), 1u);
}

TEST_F(ExchangeTest, sequenceWrapsAt127ForBothOperations) {
    link.setTxSequence(127);
    pump.send(8, {1}, false, 1, 0);
    EXPECT_EQ(link.txSequence(), 0);
    link.setTxSequence(127);
    pump.send(8, {1}, true, 1, 0);
    EXPECT_EQ(link.txSequence(), 0x80);
    link.setTxSequence(127);
    link.requestPoll();
    EXPECT_EQ(link.txSequence(), 128);
    EXPECT_EQ(link.lastPostedSequence(), 128);
    EXPECT_EQ(link.lastPostedCommand(), 1);
    auto frames = framesIn(wire.written);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0][0], 0x00);
    EXPECT_EQ(frames[1][0], 0x80);
    EXPECT_EQ(frames[2], (Bytes{0x80, 0x01}));
    // A flagged sequence is masked before the next choice.
    link.requestPoll();
    EXPECT_EQ(link.txSequence(), 1);
}

TEST_F(ExchangeTest, elementLengthReplyGivesItsDataWithoutTheChecksum) {
    const Bytes lengths{0x10, 0x27, 0x20, 0x4E, 0x30, 0x75, 0x40, 0x1F};
    answerWith([&](const Bytes& c) { return replyFrame(c[0], 0, lengths); });
    ASSERT_EQ(pump.send(9, {}, false, 4, 100), 0);
    EXPECT_EQ(pump.lastReply, lengths);
}

TEST_F(ExchangeTest, thePollRequestGoesOutAtOnceWithoutWaiting) {
    link.disableExchanges();
    EXPECT_TRUE(link.requestPoll());
    EXPECT_EQ(wire.written, (Bytes{0xF5, 0x0D, 0x01, 0x59, 0xFA}));
    EXPECT_EQ(pump.waits, 0);
    EXPECT_FALSE(link.busy());
}

TEST_F(ExchangeTest, aCommandAskedForDuringAnExchangeIsQueuedAndGoesOutAfterIt) {
    answerWith([](const Bytes& c) { return replyFrame(c[0], 0); });
    std::optional<std::uint8_t> queued;
    clock.at(0ms, [&] {
        EXPECT_TRUE(link.busy());
        link.send(Command{3, {1, 2}, true, 4, 100ms}, [&](const Outcome& o) { queued = o.status; });
    });
    EXPECT_EQ(pump.send(8, {5}, false, 4, 100), 0);
    pump.advance(50ms);
    ASSERT_TRUE(queued);
    EXPECT_EQ(*queued, 0);
    const auto frames = framesIn(wire.written);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0][1], 8);
    EXPECT_EQ(frames[1][1], 3);
    EXPECT_FALSE(link.busy());
}

TEST_F(ExchangeTest, heldWorkSendsItsOwnCommandsAndOthersWaitForItsEnd) {
    answerWith([](const Bytes& c) { return replyFrame(c[0], 0); });
    std::optional<std::uint8_t> other;
    bool polled = true;
    {
        Link::Hold sequence(link);
        EXPECT_EQ(pump.exchange(Command{8, {13}, false, 4, 100ms}, Link::Lane::Held).status, 0);
        link.send(Command{3, {1, 2}, true, 4, 100ms}, [&](const Outcome& o) { other = o.status; });
        polled = link.requestPoll();
        EXPECT_EQ(pump.exchange(Command{8, {8}, false, 4, 100ms}, Link::Lane::Held).status, 0);
        pump.advance(500ms);
        EXPECT_FALSE(other);
    }
    EXPECT_FALSE(polled);
    pump.advance(50ms);
    ASSERT_TRUE(other);
    EXPECT_EQ(*other, 0);
    const auto frames = framesIn(wire.written);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0][2], 13);
    EXPECT_EQ(frames[1][2], 8);
    EXPECT_EQ(frames[2][1], 3);
}

TEST_F(ExchangeTest, aQueuedCommandTimesOutLikeAnyOther) {
    // Nothing answers: the queued command gets its own tries once the first has used up its.
    std::optional<std::uint8_t> result;
    clock.at(0ms, [&] {
        link.send(Command{3, {1, 2}, true, 2, 100ms}, [&](const Outcome& o) { result = o.status; });
    });
    EXPECT_EQ(pump.send(8, {5}, false, 1, 100), kNoReply);
    EXPECT_FALSE(result);
    pump.advance(400ms);
    ASSERT_TRUE(result);
    EXPECT_EQ(*result, kNoReply);
    EXPECT_EQ(framesIn(wire.written).size(), 3u);
}

TEST_F(ExchangeTest, shutDownEndsWaitingCommandsUnsentAndRefusesNewOnes) {
    std::vector<std::uint8_t> ended;
    link.send(Command{8, {5}, false, 4, 100ms},
              [&](const Outcome& o) { ended.push_back(o.status); });
    link.send(Command{8, {6}, false, 4, 100ms},
              [&](const Outcome& o) { ended.push_back(o.status); });
    const auto sent = wire.written.size();
    link.shutDown();
    EXPECT_EQ(ended, (std::vector<std::uint8_t>{kNoReply, kNoReply}));
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_FALSE(link.requestPoll());
    pump.advance(500ms);
    EXPECT_EQ(wire.written.size(), sent);
    EXPECT_FALSE(link.busy());
}

TEST_F(ExchangeTest, thePollsReplyReceivedDuringAnExchangeIsKeptForThePoll) {
    link.requestPoll();
    const auto polled = static_cast<std::uint8_t>(link.lastPostedSequence());
    // The status reply comes in first, then the key's own reply.
    answerWith([&](const Bytes& c) {
        Bytes both = replyFrame(polled, 0, {13, 1});
        Bytes mine = replyFrame(c[0], 0);
        both.insert(both.end(), mine.begin(), mine.end());
        return both;
    });
    EXPECT_EQ(pump.send(8, {5}, false, 4, 100), 0);
    auto kept = link.takePollReply();
    ASSERT_TRUE(kept);
    EXPECT_EQ(*kept, (Bytes{polled, 0, 13, 1, frameChecksum(Bytes{polled, 0, 13, 1})}));
    // Taken once; and a newer request outdates a kept reply.
    EXPECT_FALSE(link.takePollReply());
    EXPECT_EQ(pump.send(8, {5}, false, 4, 100), 0);
    link.requestPoll();
    EXPECT_FALSE(link.takePollReply());
}

TEST_F(ExchangeTest, aDeviceLostDuringTheWaitClosesThePortAndEndsTheExchangeAtOnce) {
    int losses = 0;
    port.setDeviceLostHandler([&] {
        ++losses;
        EXPECT_FALSE(port.IsOpen());
    });
    clock.at(20ms, [&] { wire.unplug(); });
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_EQ(losses, 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.DeviceLost());
    EXPECT_EQ(framesIn(wire.written).size(), 1u);
    // The exchange ended within a wait step of the loss, not after its four tries.
    EXPECT_LE(clock.now(), 40ms);
    // Later exchanges give up at once, without waiting or writing, and report nothing new.
    const auto waits = pump.waits;
    const auto written = wire.written.size();
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_EQ(pump.waits, waits);
    EXPECT_EQ(wire.written.size(), written);
    EXPECT_EQ(losses, 1);
    // Opening again clears the loss.
    wire.plugIn();
    ASSERT_EQ(port.OpenPort("bio1"), 0);
    EXPECT_FALSE(port.DeviceLost());
}

TEST_F(ExchangeTest, aWriteThatFindsTheDeviceGoneEndsTheExchangeBeforeAnyWait) {
    wire.unplug();
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.DeviceLost());
    EXPECT_EQ(pump.waits, 0);
}

TEST_F(ExchangeTest, oversizedContentIsRefusedNotCut) {
    struct Warnings : LinkObserver {
        int count = 0;
        void linkWarning(std::string_view) override { ++count; }
    } warnings;
    link.setObserver(&warnings);
    EXPECT_FALSE(link.WriteFrame(Bytes(256, 0x01)));
    EXPECT_TRUE(wire.written.empty());
    EXPECT_EQ(warnings.count, 1);
    EXPECT_EQ(pump.send(4, Bytes(254, 0x01), true, 1, 0), kNoReply);
    EXPECT_TRUE(wire.written.empty());
    link.setObserver(nullptr);
}

TEST_F(ExchangeTest, linkTickTellsTheLampsCountsAndBlinksEveryFifthTick) {
    struct Paint : LinkObserver {
        std::vector<bool> tx, rx;
        int blinks = 0;
        void txLamp(bool sending) override { tx.push_back(sending); }
        void rxLamp(bool waiting) override { rx.push_back(waiting); }
        void blinkStep() override { ++blinks; }
    } paint;
    link.setObserver(&paint);
    link.requestPoll();
    EXPECT_TRUE(paint.tx.back());
    for (int i = 0; i < 4; ++i) link.LinkTimerTick();
    EXPECT_EQ(paint.blinks, 0);
    EXPECT_FALSE(paint.tx.back());
    EXPECT_FALSE(paint.rx.back());
    wire.feedReceived({0x01});
    link.LinkTimerTick();
    EXPECT_EQ(paint.blinks, 1);
    EXPECT_EQ(link.blinkTicks(), 0);
    EXPECT_TRUE(paint.rx.back());
    link.setObserver(nullptr);
}

TEST_F(ExchangeTest, aFloodIsTakenABoundedPieceAtATimeAndAReplyInItStillCounts) {
    std::optional<std::uint8_t> status;
    link.send(Command{8, {5}, false, 4, 100ms}, [&](const Outcome& o) { status = o.status; });
    Bytes noise(Link::kReadCap + 100, 0x42);
    const Bytes reply = replyFrame(0x0D, 0);
    noise.insert(noise.end(), reply.begin(), reply.end());
    wire.feedReceived(noise);
    EXPECT_EQ(link.serviceInput(), Link::kReadCap);
    EXPECT_FALSE(status);
    EXPECT_EQ(link.serviceInput(), 100 + reply.size());
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, 0);
}

}  // namespace
}  // namespace kt6
