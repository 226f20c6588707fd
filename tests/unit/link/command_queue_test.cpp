// The command queue on a fake clock, with a controller that answers after a delay: one
// exchange at a time in the order asked for, the poll's request never refused, never starved
// by keys, and its reply used however it arrives.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "link/command_queue.h"
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

constexpr ms kKeyReplyDelay{45};
constexpr ms kStatusReplyDelay{30};

Command key(std::uint8_t code) {
    return Command{8, {code}, false, 4, 100ms};
}

class QueueOnClock : public ::testing::Test {
  protected:
    QueueOnClock()
        : wire(clock, [this](const Bytes& bytes) { queue.received(bytes, clock.now()); }),
          queue(engine, wire) {
        // The link timer: the only place time reaches the queue besides arriving bytes.
        clock.every(kLinkTick, kLinkTick, [this] { queue.advance(clock.now()); });
        // Keys are answered with status = key code; status requests with a counter, so each
        // reply can be told from the one before.
        wire.script = [this](const Bytes& c) {
            if (!answering) return std::vector<Piece>{};
            if (c[1] == kStatusRequestCode) {
                return std::vector<Piece>{
                    {kStatusReplyDelay, replyFrame(c[0], 0, {++statusReplies})}};
            }
            return std::vector<Piece>{{kKeyReplyDelay, replyFrame(c[0], c.size() > 2 ? c[2] : 0)}};
        };
    }

    // Submits and records the outcome under `name`.
    void submit(Command command, int name) {
        queue.submit(
            std::move(command),
            [this, name](const Outcome& o) {
                done.push_back({name, o.status, clock.now()});
            },
            clock.now());
    }

    struct Done {
        int name;
        std::uint8_t status;
        ms at;
        bool operator==(const Done&) const = default;
        friend void PrintTo(const Done& d, std::ostream* os) {
            *os << "{" << d.name << ", status " << int(d.status) << ", " << d.at.count() << " ms}";
        }
    };

    FakeClock clock;
    ExchangeEngine engine;
    TimedController wire;
    CommandQueue queue;
    bool answering = true;
    std::uint8_t statusReplies = 0;
    std::vector<Done> done;
};

TEST_F(QueueOnClock, commandsGoOutOneAtATimeInTheOrderAskedFor) {
    submit(key(1), 1);
    submit(key(2), 2);
    submit(Command{3, {0x58, 0x1B}, true, 4, 100ms}, 3);
    EXPECT_TRUE(queue.inFlight());
    EXPECT_EQ(queue.waiting(), 2u);
    EXPECT_EQ(wire.frames.size(), 1u);
    clock.runUntil(1s);
    EXPECT_EQ(done, (std::vector<Done>{{1, 1, 45ms}, {2, 2, 90ms}, {3, 0x58, 135ms}}));
    ASSERT_EQ(wire.frames.size(), 3u);
    EXPECT_EQ(wire.frames[0].content, (Bytes{0x0D, 8, 1}));
    EXPECT_EQ(wire.frames[1].content, (Bytes{0x0E, 8, 2}));
    EXPECT_EQ(wire.frames[2].content, (Bytes{0x8F, 3, 0x58, 0x1B}));
    EXPECT_EQ(wire.frames[1].at, 45ms);
    EXPECT_FALSE(queue.inFlight());
    EXPECT_EQ(queue.waiting(), 0u);
}

TEST_F(QueueOnClock, aCommandAskedForWhileThePollWaitsIsQueuedAndRuns) {
    submit(key(1), 1);
    clock.runUntil(10ms);
    queue.requestPoll(clock.now());
    EXPECT_TRUE(queue.pollWaiting());
    clock.runUntil(20ms);
    submit(key(2), 2);
    EXPECT_EQ(queue.waiting(), 1u);
    clock.runUntil(1s);
    EXPECT_FALSE(queue.pollWaiting());
    EXPECT_EQ(wire.codes(), (std::vector<int>{8, 1, 8}));
    EXPECT_EQ(wire.timesOf(kStatusRequestCode), std::vector<ms>{45ms});
    EXPECT_EQ(done, (std::vector<Done>{{1, 1, 45ms}, {2, 2, 90ms}}));
}

TEST_F(QueueOnClock, thePollGoesOutAheadOfQueuedCommandsOnceHoweverOftenAskedFor) {
    for (std::uint8_t k = 1; k <= 4; ++k) submit(key(k), k);
    clock.runUntil(10ms);
    queue.requestPoll(clock.now());
    queue.requestPoll(clock.now());
    clock.runUntil(20ms);
    queue.requestPoll(clock.now());
    clock.runUntil(1s);
    EXPECT_EQ(wire.codes(), (std::vector<int>{8, 1, 8, 8, 8}));
    EXPECT_EQ(done.size(), 4u);
    // Its reply, come in amid the keys, waits for the poll.
    const auto reply = queue.takePollReply();
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)[2], 1);
}

TEST_F(QueueOnClock, keysEvery250msFor10sLeaveNoGapBetweenPollRequestsOver450ms) {
    // Keys from 390 ms on, so some poll ticks fall inside a key's exchange.
    int keys = 0;
    clock.every(390ms, 250ms, [&] {
        if (clock.now() > 10s) return;
        submit(key(5), ++keys);
    });
    clock.every(400ms, 400ms, [&] {
        if (clock.now() <= 10s) queue.requestPoll(clock.now());
    });
    clock.runUntil(10s + 500ms);
    const auto polls = wire.timesOf(kStatusRequestCode);
    ASSERT_EQ(polls.size(), 25u);
    // At least one request had to wait for a key.
    EXPECT_NE(polls.front(), 400ms);
    ms widest{0};
    for (std::size_t i = 1; i < polls.size(); ++i)
        widest = std::max(widest, polls[i] - polls[i - 1]);
    EXPECT_LE(widest, 450ms);
    EXPECT_EQ(static_cast<int>(done.size()), keys);
    EXPECT_EQ(keys, 39);
    EXPECT_TRUE(std::all_of(done.begin(), done.end(), [](const Done& d) { return d.status == 5; }));
}

TEST_F(QueueOnClock, aPollReplyReceivedAmidKeysIsUsedOnTheNextTick) {
    // Every status reply comes in the same read as the next key's reply, with noise around.
    std::optional<Bytes> heldStatusReply;
    wire.script = [&](const Bytes& c) {
        if (c[1] == kStatusRequestCode) {
            heldStatusReply = replyFrame(c[0], 0, {++statusReplies});
            return std::vector<Piece>{};
        }
        Bytes read = joined({{0x00, 0xFA}, replyFrame(c[0], 0), {0x7E}});
        if (heldStatusReply)
            read = joined({read, *std::exchange(heldStatusReply, std::nullopt), {0xF5, 0x01}});
        return std::vector<Piece>{{kKeyReplyDelay, read}};
    };
    std::vector<int> used;
    int ticks = 0;
    clock.every(400ms, 400ms, [&] {
        if (++ticks > 10) return;
        if (auto reply = queue.takePollReply()) used.push_back((*reply)[2]);
        queue.requestPoll(clock.now());
        // A key pressed right after: the poll's reply can only come in amid it.
        submit(key(5), ticks);
    });
    clock.runUntil(5s);
    // The first tick has nothing to read yet; every later one reads the reply to the request
    // before it.
    EXPECT_EQ(used, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(done.size(), 10u);
}

TEST_F(QueueOnClock, aSilentControllerGetsEveryTryOnTheTicksThen255AndTheNextCommandGoesOut) {
    answering = false;
    submit(key(1), 1);
    submit(key(2), 2);
    clock.runUntil(700ms);
    EXPECT_EQ(wire.timesOf(8), (std::vector<ms>{0ms, 150ms, 300ms, 450ms, 600ms}));
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], (Done{1, kNoReply, 600ms}));
    for (std::size_t i = 1; i < 4; ++i) EXPECT_EQ(wire.frames[i].content, wire.frames[0].content);
    EXPECT_EQ(wire.frames[4].content, (Bytes{0x0E, 8, 2}));
    EXPECT_EQ(queue.nextDeadline(), 750ms);
}

TEST_F(QueueOnClock, whatACompletionAsksForWaitsBehindWhatWasAskedBefore) {
    queue.submit(
        key(1),
        [this](const Outcome&) {
            done.push_back({1, 0, clock.now()});
            submit(key(3), 3);
        },
        clock.now());
    submit(key(2), 2);
    clock.runUntil(1s);
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[1].name, 2);
    EXPECT_EQ(done[2].name, 3);
    EXPECT_EQ(wire.codes(), (std::vector<int>{8, 8, 8}));
    EXPECT_EQ(wire.frames[2].content[2], 3);
}

TEST_F(QueueOnClock, aCommandWithoutTriesEndsAt255AtOnceAndTheNextGoesOut) {
    submit(Command{8, {1}, false, 0, 100ms}, 1);
    submit(key(2), 2);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0], (Done{1, kNoReply, 0ms}));
    ASSERT_EQ(wire.frames.size(), 1u);
    // Its sequence was used up all the same.
    EXPECT_EQ(wire.frames[0].content, (Bytes{0x0E, 8, 2}));
    clock.runUntil(1s);
    EXPECT_EQ(done.size(), 2u);
}

}  // namespace
}  // namespace kt6
