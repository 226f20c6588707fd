// Link's blocking exchange, for tools and tests: the same engine waiting on the port itself,
// on an in-memory port and a fake clock, without ever running the window's events.
#include <gtest/gtest.h>

#include <memory>

#include "link/link.h"
#include "support/fake_port_waiter.h"
#include "support/link_on_fake_port.h"
#include "timed_controller.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakePortWaiter;
using testing::joined;
using testing::ms;
using testing::replyFrame;
using testing::TimedController;
using Piece = TimedController::Piece;

class BlockingExchangeTest : public ::testing::Test, protected testing::LinkOnFakePort {
  protected:
    BlockingExchangeTest()
        : waiter(clock, [this] { return !wire.input.empty(); }),
          controller(clock, [this](const Bytes& bytes) { wire.feedReceived(bytes); }) {
        link.enableExchanges();
        wire.onWrite = [this](const Bytes& bytes) { controller.writeFrame(bytes); };
    }

    FakePortWaiter waiter;
    TimedController controller;
};

TEST_F(BlockingExchangeTest, aSilentControllerGetsEveryTryOnTheClocksTicksThen255) {
    const Outcome o = link.SendCommandBlocking(Command{8, {13}, false, 4, 100ms}, waiter);
    EXPECT_EQ(o.status, kNoReply);
    ASSERT_EQ(controller.frames.size(), 4u);
    for (const auto& f : controller.frames) EXPECT_EQ(f.content, (Bytes{0x0D, 0x08, 0x0D}));
    EXPECT_EQ(controller.timesOf(8), (std::vector<ms>{0ms, 150ms, 300ms, 450ms}));
    EXPECT_EQ(clock.now(), 600ms);
    // It waited on the port, once per try, and never ran the window's events.
    EXPECT_EQ(waiter.waits, 4);
    EXPECT_EQ(pump.pumps, 0);
    EXPECT_FALSE(link.busy());
}

TEST_F(BlockingExchangeTest, aReplyReadInOneGulpWithNoiseAndThePollsReplyCompletesIt) {
    link.requestPoll();
    const auto polled = static_cast<std::uint8_t>(link.lastPostedSequence());
    controller.script = [&](const Bytes& c) {
        if (c[1] == 1) return std::vector<Piece>{};
        return std::vector<Piece>{{35ms, joined({{0x42, 0xFA},
                                                 replyFrame(static_cast<std::uint8_t>(c[0] + 1), 7),
                                                 replyFrame(c[0], 3, {9, 0xF5}),
                                                 replyFrame(polled, 0, {13, 1}),
                                                 {0xF5, 0x00}})}};
    };
    for (int i = 0; i < 5; ++i) link.countMissedPoll();
    struct Answers : LinkObserver {
        int count = 0;
        void commandAnswered(std::uint8_t code, const Bytes&, std::uint8_t status) override {
            ++count;
            EXPECT_EQ(code, 8);
            EXPECT_EQ(status, 3);
        }
    } answers;
    link.setObserver(&answers);
    const Outcome o = link.SendCommandBlocking(Command{8, {5}, false, 4, 100ms}, waiter);
    link.setObserver(nullptr);
    EXPECT_EQ(o.status, 3);
    EXPECT_EQ(o.reply, (Bytes{9, 0xF5}));
    EXPECT_EQ(clock.now(), 35ms);
    EXPECT_EQ(answers.count, 1);
    EXPECT_EQ(link.missedPolls(), 0);
    EXPECT_TRUE(wire.input.empty());
    const auto kept = link.takePollReply();
    ASSERT_TRUE(kept);
    EXPECT_EQ((*kept)[0], polled);
}

TEST_F(BlockingExchangeTest, aLateReplyToTheFirstTryCompletesTheSecond) {
    controller.script = [&](const Bytes& c) {
        if (controller.frames.size() > 1) return std::vector<Piece>{};
        return std::vector<Piece>{{190ms, replyFrame(c[0], 0)}};
    };
    EXPECT_EQ(link.SendCommandBlocking(Command{8, {13}, false, 4, 100ms}, waiter).status, 0);
    EXPECT_EQ(controller.timesOf(8), (std::vector<ms>{0ms, 150ms}));
    EXPECT_EQ(clock.now(), 190ms);
}

TEST_F(BlockingExchangeTest, itPutsTheSameFramesOnTheWireAsTheQueuedExchange) {
    controller.script = [](const Bytes& c) {
        return std::vector<Piece>{{20ms, replyFrame(c[0], 0)}};
    };
    // The nested exchange is answered at once, on the pump's clock.
    std::vector<Bytes> nested;
    wire.onWrite = [this, &nested](const Bytes& bytes) {
        FrameReceiver rx;
        for (auto b : bytes) {
            if (rx.feed(b) != FrameReceiver::Event::GoodFrame) continue;
            nested.push_back(rx.payload());
            wire.feedReceived(replyFrame(rx.payload()[0], 0));
        }
    };
    link.setTxSequence(126);
    ASSERT_EQ(pump.send(3, {0xF5, 0x1B}, true, 4, 100), 0);
    ASSERT_EQ(pump.send(8, {7}, false, 4, 100), 0);
    wire.onWrite = [this](const Bytes& bytes) { controller.writeFrame(bytes); };
    link.setTxSequence(126);
    ASSERT_EQ(link.SendCommandBlocking(Command{3, {0xF5, 0x1B}, true, 4, 100ms}, waiter).status, 0);
    ASSERT_EQ(link.SendCommandBlocking(Command{8, {7}, false, 4, 100ms}, waiter).status, 0);
    ASSERT_EQ(nested.size(), 2u);
    ASSERT_EQ(controller.frames.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        nested[i].pop_back();
        EXPECT_EQ(controller.frames[i].content, nested[i]);
    }
    EXPECT_EQ(controller.frames[0].content[0], 0xFF);
    EXPECT_EQ(controller.frames[1].content[0], 0x00);
}

TEST_F(BlockingExchangeTest, itKeepsTheGuardsOfTheQueuedExchange) {
    // Not while a queued exchange is in flight: it would take that one's reply.
    link.send(Command{8, {2}, false, 1, 100ms}, {});
    const auto written = wire.written.size();
    EXPECT_EQ(link.SendCommandBlocking(Command{8, {1}, false, 4, 100ms}, waiter).status, kNoReply);
    EXPECT_EQ(wire.written.size(), written);
    EXPECT_EQ(link.txSequence(), 13);
    link.shutDown();
    EXPECT_EQ(link.SendCommandBlocking(Command{8, {1}, false, 4, 100ms}, waiter).status, kNoReply);
    EXPECT_EQ(link.txSequence(), 14);
    wire.written.clear();
    Link fresh(port);
    fresh.enableExchanges();
    ASSERT_EQ(fresh.txSequence(), 12);
    // Not enabled, or no port: the sequence advances, nothing goes out, no time passes.
    fresh.disableExchanges();
    EXPECT_EQ(fresh.SendCommandBlocking(Command{8, {1}, false, 4, 100ms}, waiter).status, kNoReply);
    EXPECT_EQ(fresh.txSequence(), 13);
    fresh.enableExchanges();
    port.ClosePort();
    EXPECT_EQ(fresh.SendCommandBlocking(Command{8, {1}, false, 4, 100ms}, waiter).status, kNoReply);
    EXPECT_EQ(fresh.txSequence(), 14);
    EXPECT_TRUE(wire.written.empty());
    EXPECT_EQ(clock.now(), 0ms);
    EXPECT_EQ(waiter.waits, 0);
}

TEST_F(BlockingExchangeTest, aDeviceLostDuringTheWaitEndsTheExchangeAtOnce) {
    clock.at(70ms, [this] { wire.unplug(); });
    // The fake device reports nothing waiting once lost; the wait takes its time to the tick.
    EXPECT_EQ(link.SendCommandBlocking(Command{8, {13}, false, 4, 100ms}, waiter).status, kNoReply);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.DeviceLost());
    EXPECT_EQ(controller.frames.size(), 1u);
    EXPECT_LE(clock.now(), 150ms);
}

}  // namespace
}  // namespace kt6
