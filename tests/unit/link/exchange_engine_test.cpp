// The exchange engine on a fake wire and a fake clock: the frames, matches, retries and
// moments of the console's exchange, with replies dropped, corrupted, split, late, and read
// in one gulp with noise around them.
#include <gtest/gtest.h>

#include <optional>

#include "link/exchange_engine.h"
#include "support/fake_clock.h"
#include "timed_controller.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::joined;
using testing::ms;
using testing::replyFrame;
using testing::TimedController;
using Piece = TimedController::Piece;

Bytes commandFrame(std::uint8_t sequence, std::uint8_t code, const Bytes& data = {}) {
    Bytes content{sequence, code};
    content.insert(content.end(), data.begin(), data.end());
    return encodeFrame(content).value();
}

class EngineOnWire : public ::testing::Test {
  protected:
    EngineOnWire() : wire(clock, [this](const Bytes& bytes) { take(bytes); }) {}

    void take(const Bytes& bytes) {
        const Reception r = engine.received(bytes, clock.now());
        goodFrames += r.goodFrames;
        badFrames += r.badFrames;
        if (r.outcome) {
            outcome = r.outcome;
            endedAt = clock.now();
        }
    }
    void write(const Bytes& frame) {
        if (!frame.empty()) wire.writeFrame(frame);
    }
    // Runs one exchange to its end as the window's link timer would: a tick every 50 ms from
    // the clock's origin, the bytes that came by a tick read before the tick looks at the time.
    Outcome run(const Command& command) {
        outcome.reset();
        write(engine.start(command, clock.now()));
        for (ms tick = (clock.now() / kLinkTick + 1) * kLinkTick; !outcome; tick += kLinkTick) {
            if (tick > 60s) {
                ADD_FAILURE() << "the exchange never ended";
                return {};
            }
            clock.runUntil(tick);
            if (outcome) break;
            if (auto retry = engine.due(tick)) {
                write(*retry);
            } else if (auto end = engine.expired(tick)) {
                outcome = end;
                endedAt = tick;
            }
        }
        return *outcome;
    }
    // Answers every frame after `delay` with status 0 and this data.
    void answerAll(ms delay, Bytes data = {}) {
        wire.script = [delay, data](const Bytes& c) {
            return std::vector<Piece>{{delay, replyFrame(c[0], 0, data)}};
        };
    }

    FakeClock clock;
    ExchangeEngine engine;
    TimedController wire;
    std::optional<Outcome> outcome;
    ms endedAt{-1};
    int goodFrames = 0;
    int badFrames = 0;
};

TEST_F(EngineOnWire, replyWithTheSequenceByteCompletesWithItsStatusAndData) {
    answerAll(30ms, {0x10, 0x27, 0xF5});
    const Outcome o = run(Command{8, {5}, false, 4, 100ms});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.reply, (Bytes{0x10, 0x27, 0xF5}));
    EXPECT_EQ(endedAt, 30ms);
    ASSERT_EQ(wire.frames.size(), 1u);
    EXPECT_EQ(wire.frames[0].content, (Bytes{0x0D, 0x08, 0x05}));
    EXPECT_EQ(engine.sequences().tx, 13);
    EXPECT_FALSE(engine.inFlight());
}

TEST_F(EngineOnWire, theFirstFrameIsTheWorkedExampleByteForByte) {
    engine.sequences().tx = 13;
    EXPECT_EQ(engine.start(Command{3, {0xF5, 0x1B}, true, 4, 100ms}, 0ms),
              (Bytes{0xF5, 0x8E, 0x03, 0xF6, 0x75, 0x1B, 0x0E, 0xFA}));
    engine.sequences().tx = 12;
    EXPECT_EQ(engine.post(1, {}, 0ms), (Bytes{0xF5, 0x0D, 0x01, 0x59, 0xFA}));
}

TEST_F(EngineOnWire, aReplyInOneReadAmidNoiseStrayFramesAndThePollsReplyCompletes) {
    engine.post(1, {}, 0ms);
    const auto polled = static_cast<std::uint8_t>(engine.sequences().lastPosted);
    wire.script = [&](const Bytes& c) {
        Bytes broken = replyFrame(c[0], 0, {1, 2});
        broken[3] ^= 0x40;
        return std::vector<Piece>{{20ms, joined({{0x11, 0xFA, 0x22},
                                                 broken,
                                                 {0xF5, 0x55, 0xFA},
                                                 replyFrame(static_cast<std::uint8_t>(c[0] + 1), 7),
                                                 replyFrame(c[0], 3, {9}),
                                                 {0x33, 0xF5, 0x44}})}};
    };
    const Outcome o = run(Command{8, {5}, false, 4, 100ms});
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.reply, Bytes{9});
    EXPECT_EQ(goodFrames, 2);
    EXPECT_EQ(badFrames, 2);
    // The frame left open at the end of the read goes on with the next one.
    EXPECT_TRUE(engine.receiver().inFrame());
    take(joined({{0x55}, {0xFA}}));
    EXPECT_EQ(badFrames, 3);
    // The poll's reply behind it, in a later read, is kept for the poll.
    take(replyFrame(polled, 0, {13, 1}));
    const auto kept = engine.takePollReply();
    ASSERT_TRUE(kept);
    EXPECT_EQ((*kept)[0], polled);
}

TEST_F(EngineOnWire, aReplySplitAnywhereCompletesOnlyWithItsEndByte) {
    // Escaped bytes in the data and the checksum, so some cuts fall inside an escape.
    const Bytes data{0xF6, 0xFA, 0x75};
    // A fresh engine's first exchange carries sequence 13.
    const Bytes reply = replyFrame(13, 0, data);
    for (std::size_t cut = 1; cut < reply.size(); ++cut) {
        ExchangeEngine e;
        ASSERT_FALSE(e.start(Command{9, {}, false, 4, 100ms}, 0ms).empty());
        ASSERT_EQ(e.sequences().tx, 13);
        EXPECT_FALSE(e.received({reply.data(), cut}, 10ms).outcome) << "cut " << cut;
        const auto rest = e.received({reply.data() + cut, reply.size() - cut}, 20ms);
        ASSERT_TRUE(rest.outcome) << "cut " << cut;
        EXPECT_EQ(rest.outcome->reply, data) << "cut " << cut;
    }
    // And one byte at a time.
    ExchangeEngine e;
    e.start(Command{9, {}, false, 4, 100ms}, 0ms);
    int outcomes = 0;
    for (auto b : reply) outcomes += e.received({&b, 1}, 10ms).outcome ? 1 : 0;
    EXPECT_EQ(outcomes, 1);
}

TEST_F(EngineOnWire, aCorruptedReplyIsPassedOverAndTheRetryIsAnswered) {
    int answers = 0;
    wire.script = [&](const Bytes& c) {
        Bytes reply = replyFrame(c[0], 0);
        if (++answers == 1) reply[2] ^= 0x01;
        return std::vector<Piece>{{40ms, reply}};
    };
    EXPECT_EQ(run(Command{8, {13}, false, 4, 100ms}).status, 0);
    ASSERT_EQ(wire.frames.size(), 2u);
    EXPECT_EQ(wire.frames[0].content, wire.frames[1].content);
    EXPECT_EQ(badFrames, 1);
    EXPECT_EQ(endedAt, wire.frames[1].at + 40ms);
}

TEST_F(EngineOnWire, droppedFramesGetEveryTryOnTheLinkTicksThen255) {
    const Outcome o = run(Command{8, {13}, false, 4, 100ms});
    EXPECT_EQ(o.status, kNoReply);
    EXPECT_TRUE(o.reply.empty());
    ASSERT_EQ(wire.frames.size(), 4u);
    for (const auto& f : wire.frames) EXPECT_EQ(f.content, (Bytes{0x0D, 0x08, 0x0D}));
    // Written on a tick, each try waits for the third tick after it.
    EXPECT_EQ(wire.timesOf(8), (std::vector<ms>{0ms, 150ms, 300ms, 450ms}));
    EXPECT_EQ(endedAt, 600ms);
}

TEST_F(EngineOnWire, aTryWrittenBetweenTicksStillWaitsForItsThirdTick) {
    clock.runUntil(20ms);
    run(Command{8, {13}, false, 2, 100ms});
    EXPECT_EQ(wire.timesOf(8), (std::vector<ms>{20ms, 150ms}));
    EXPECT_EQ(endedAt, 300ms);
}

TEST(TryDeadline, aTryEndsOnTheFirstTickThatTakesTheTicksWaitedPastItsTimeOut) {
    // The wait counts 50 ms per tick from the first tick after the write: a time-out of T ms
    // ends on the tick that makes the count exceed T, so between T and T + 50 ms of wall time.
    EXPECT_EQ(tryDeadline(0ms, 100ms), 150ms);
    EXPECT_EQ(tryDeadline(10ms, 100ms), 150ms);
    EXPECT_EQ(tryDeadline(49ms, 100ms), 150ms);
    // A tick at the write's own moment was counted before the write.
    EXPECT_EQ(tryDeadline(50ms, 100ms), 200ms);
    EXPECT_EQ(tryDeadline(0ms, 0ms), 50ms);
    EXPECT_EQ(tryDeadline(0ms, 49ms), 50ms);
    EXPECT_EQ(tryDeadline(0ms, 50ms), 100ms);
    EXPECT_EQ(tryDeadline(0ms, 51ms), 100ms);
    EXPECT_EQ(tryDeadline(0ms, 200ms), 250ms);
    EXPECT_EQ(tryDeadline(1000ms, 6000ms), 7050ms);
    // A negative time-out is over at the first look.
    EXPECT_EQ(tryDeadline(20ms, -5ms), 20ms);
    // Times before the origin tick on the same grid.
    EXPECT_EQ(tryDeadline(-30ms, 100ms), 100ms);
}

TEST_F(EngineOnWire, aTryCountsFromTheMomentItsFrameWentOut) {
    engine.start(Command{8, {13}, false, 2, 100ms}, 0ms);
    // The frame waited behind something else and went out on the next tick.
    engine.sent(50ms);
    EXPECT_EQ(engine.deadline(), 200ms);
    EXPECT_FALSE(engine.due(150ms));
    EXPECT_TRUE(engine.due(200ms));
}

TEST_F(EngineOnWire, aLateReplyToAnEarlierTryIsAccepted) {
    // The reply to the first try comes in after the second try went out.
    wire.script = [&](const Bytes& c) {
        if (wire.frames.size() > 1) return std::vector<Piece>{};
        return std::vector<Piece>{{170ms, replyFrame(c[0], 0)}};
    };
    EXPECT_EQ(run(Command{8, {13}, false, 4, 100ms}).status, 0);
    ASSERT_EQ(wire.frames.size(), 2u);
    EXPECT_EQ(endedAt, 170ms);
}

TEST_F(EngineOnWire, aReplyInByTheDeadlineTickCountsWhenReadBeforeTheTimeIsLookedAt) {
    answerAll(150ms);
    EXPECT_EQ(run(Command{8, {13}, false, 4, 100ms}).status, 0);
    EXPECT_EQ(wire.frames.size(), 1u);
    EXPECT_EQ(endedAt, 150ms);
}

TEST_F(EngineOnWire, aReplyAfterTheLastTryEndedIsNoOutcomeAndNotKept) {
    engine.post(1, {}, 0ms);
    answerAll(180ms);
    EXPECT_EQ(run(Command{8, {13}, false, 1, 100ms}).status, kNoReply);
    EXPECT_EQ(endedAt, 150ms);
    outcome.reset();
    clock.runUntil(200ms);
    EXPECT_EQ(goodFrames, 1);
    EXPECT_FALSE(outcome);
    EXPECT_FALSE(engine.takePollReply());
}

TEST_F(EngineOnWire, cancellingEndsTheExchangeWith255AndItsReplyIsThenDropped) {
    const Bytes frame = engine.start(Command{8, {13}, false, 4, 100ms}, 0ms);
    ASSERT_FALSE(frame.empty());
    const auto sequence = static_cast<std::uint8_t>(engine.sequences().tx);
    const auto end = engine.cancel();
    ASSERT_TRUE(end);
    EXPECT_EQ(end->status, kNoReply);
    EXPECT_FALSE(engine.inFlight());
    EXPECT_FALSE(engine.cancel());
    EXPECT_FALSE(engine.received(replyFrame(sequence, 0), 10ms).outcome);
    EXPECT_FALSE(engine.due(1s));
    EXPECT_FALSE(engine.expired(1s));
}

TEST_F(EngineOnWire, aCommandWithoutTriesSendsNothingButAdvancesTheSequence) {
    EXPECT_TRUE(engine.start(Command{8, {13}, false, 0, 100ms}, 0ms).empty());
    EXPECT_EQ(engine.sequences().tx, 13);
    EXPECT_FALSE(engine.inFlight());
    EXPECT_FALSE(engine.received(replyFrame(13, 0), 10ms).outcome);
}

TEST_F(EngineOnWire, contentBeyondOneFrameIsNeverWrittenAndItsTriesRunOutUnanswered) {
    EXPECT_EQ(run(Command{4, Bytes(254, 0x01), true, 2, 100ms}).status, kNoReply);
    EXPECT_TRUE(wire.frames.empty());
    EXPECT_EQ(endedAt, 300ms);
    EXPECT_EQ(engine.sequences().tx, 0x8D);
    // 253 data bytes still fit.
    EXPECT_FALSE(engine.start(Command{4, Bytes(253, 0x01), true, 1, 100ms}, 0ms).empty());
    EXPECT_TRUE(engine.post(1, Bytes(254, 0x01), 0ms).empty());
    EXPECT_EQ(engine.sequences().lastPosted, 15);
}

TEST(EngineSequences, anExchangeWrapsAt127AndCarriesTheFlagInBit7) {
    ExchangeEngine engine;
    engine.sequences().tx = 127;
    EXPECT_EQ(engine.start(Command{8, {1}, false, 1, 0ms}, 0ms), commandFrame(0x00, 8, {1}));
    EXPECT_EQ(engine.sequences().tx, 0);
    engine.sequences().tx = 127;
    EXPECT_EQ(engine.start(Command{8, {1}, true, 1, 0ms}, 0ms), commandFrame(0x80, 8, {1}));
    EXPECT_EQ(engine.sequences().tx, 0x80);
    // The flag of the last choice is dropped before the next.
    EXPECT_EQ(engine.start(Command{8, {1}, false, 1, 0ms}, 0ms), commandFrame(0x01, 8, {1}));
    // Every try of one exchange carries the same byte.
    engine.sequences().tx = 40;
    const Bytes first = engine.start(Command{8, {1}, true, 3, 0ms}, 0ms);
    EXPECT_EQ(engine.due(50ms), first);
    EXPECT_EQ(engine.due(100ms), first);
    EXPECT_FALSE(engine.due(150ms));
}

TEST(EngineSequences, aPostRunsTo128WithoutWrappingAndMasksTheFlagFirst) {
    ExchangeEngine engine;
    engine.sequences().tx = 127;
    EXPECT_EQ(engine.post(1, {}, 0ms), commandFrame(0x80, 1));
    EXPECT_EQ(engine.sequences().tx, 128);
    EXPECT_EQ(engine.sequences().lastPosted, 128);
    EXPECT_EQ(engine.sequences().lastPostedCommand, 1);
    EXPECT_EQ(engine.post(1, {}, 0ms), commandFrame(0x01, 1));
    engine.sequences().tx = 0x85;
    engine.post(1, {}, 0ms);
    EXPECT_EQ(engine.sequences().tx, 6);
}

TEST(EngineSequences, aPostWhileAnExchangeWaitsMovesTheSequenceItsRetriesCarryAndMatch) {
    // One counter for everything, as the console always had: the exchange follows it.
    ExchangeEngine engine;
    engine.start(Command{8, {1}, false, 2, 100ms}, 0ms);
    ASSERT_EQ(engine.sequences().tx, 13);
    engine.post(1, {}, 20ms);
    ASSERT_EQ(engine.sequences().tx, 14);
    EXPECT_FALSE(engine.received(replyFrame(13, 0), 30ms).outcome);
    EXPECT_EQ(engine.due(150ms), commandFrame(14, 8, {1}));
    EXPECT_TRUE(engine.received(replyFrame(14, 0), 160ms).outcome);
}

TEST(EnginePollReply, thePostedRequestsReplyIsKeptAmidAnExchangeOrWithoutOneAndTakenOnce) {
    ExchangeEngine engine;
    engine.post(1, {}, 0ms);
    const auto polled = static_cast<std::uint8_t>(engine.sequences().lastPosted);
    // With no exchange in flight.
    engine.received(replyFrame(polled, 0, {13, 1}), 30ms);
    auto kept = engine.takePollReply();
    ASSERT_TRUE(kept);
    EXPECT_EQ(*kept, (Bytes{polled, 0, 13, 1, frameChecksum(Bytes{polled, 0, 13, 1})}));
    EXPECT_FALSE(engine.takePollReply());
    // Amid an exchange, in the read that also brings the exchange's reply.
    engine.start(Command{8, {5}, false, 4, 100ms}, 40ms);
    const auto mine = static_cast<std::uint8_t>(engine.sequences().tx);
    const auto r = engine.received(joined({replyFrame(mine, 0), replyFrame(polled, 0, {7})}), 60ms);
    EXPECT_TRUE(r.outcome);
    EXPECT_EQ(r.goodFrames, 2);
    kept = engine.takePollReply();
    ASSERT_TRUE(kept);
    EXPECT_EQ((*kept)[2], 7);
    // A newer request outdates a reply not yet taken.
    engine.received(replyFrame(polled, 0, {8}), 70ms);
    engine.post(1, {}, 80ms);
    EXPECT_FALSE(engine.takePollReply());
}

TEST(EngineLamps, transmitLitUntilTheNextTickAndReceiveLitForTheTickThatFindsTheBytes) {
    ExchangeEngine engine;
    EXPECT_FALSE(engine.lamps(0ms).transmit);
    engine.start(Command{8, {5}, false, 4, 100ms}, 60ms);
    EXPECT_TRUE(engine.lamps(60ms).transmit);
    EXPECT_TRUE(engine.lamps(99ms).transmit);
    EXPECT_FALSE(engine.lamps(100ms).transmit);
    // Bytes at 120 are found by the tick at 150 and show until the one at 200.
    engine.received(Bytes{0x00}, 120ms);
    EXPECT_FALSE(engine.lamps(149ms).receive);
    EXPECT_TRUE(engine.lamps(150ms).receive);
    EXPECT_TRUE(engine.lamps(199ms).receive);
    EXPECT_FALSE(engine.lamps(200ms).receive);
    // More bytes in the next period do not hide the tick that found the first.
    engine.received(Bytes{0x00}, 160ms);
    EXPECT_TRUE(engine.lamps(170ms).receive);
    EXPECT_TRUE(engine.lamps(200ms).receive);
    EXPECT_FALSE(engine.lamps(250ms).receive);
    // A retry lights the transmit lamp again.
    ASSERT_TRUE(engine.due(200ms));
    EXPECT_TRUE(engine.lamps(200ms).transmit);
}

}  // namespace
}  // namespace kt6
