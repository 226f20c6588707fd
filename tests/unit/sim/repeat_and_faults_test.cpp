#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim_wire.h"

namespace kt6::sim::testing {
namespace {

TEST(RepeatedFrames, ARetransmissionIsAnsweredAgainWithoutRunningTwice) {
    Wire wire;
    const auto first = wire.sendWithSequence(0x21, 8, {keys::kUp});
    const auto again = wire.sendWithSequence(0x21, 8, {keys::kUp});
    ASSERT_TRUE(first && again);
    EXPECT_EQ(*first, *again);
    EXPECT_EQ(wire.model.executedCount(), 1u);
    EXPECT_EQ(wire.status().frequency, 14150 + kFrequencyStepKHz);
}

TEST(RepeatedFrames, TheSameFrameLongAfterIsANewCommand) {
    // A console started again sends the same first frame as the last run did.
    Wire wire;
    wire.sendWithSequence(0x0D, 8, {keys::kUp});
    wire.wait(kRepeatWindow + std::chrono::seconds(1));
    wire.sendWithSequence(0x0D, 8, {keys::kUp});
    EXPECT_EQ(wire.model.executedCount(), 2u);
}

TEST(RepeatedFrames, TheSameKeyUnderANewSequenceRunsAgain) {
    Wire wire;
    wire.sendWithSequence(0x21, 8, {keys::kUp});
    wire.sendWithSequence(0x22, 8, {keys::kUp});
    EXPECT_EQ(wire.status().frequency, 14150 + 2 * kFrequencyStepKHz);
}

TEST(RepeatedFrames, OnlyTheLastExecutedFrameCounts) {
    Wire wire;
    wire.sendWithSequence(0x21, 8, {keys::kUp});
    wire.sendWithSequence(0x22, 1);
    wire.sendWithSequence(0x21, 8, {keys::kUp});
    EXPECT_EQ(wire.status().frequency, 14150 + 2 * kFrequencyStepKHz);
}

TEST(RepeatedFrames, SameSequenceWithOtherContentRuns) {
    Wire wire;
    wire.sendWithSequence(0x21, 8, {keys::kUp});
    wire.sendWithSequence(0x21, 8, {keys::kDown});
    EXPECT_EQ(wire.status().frequency, 14150);
}

TEST(RepeatedFrames, AnEditorStepIsNotDoubledByALostReply) {
    ModelOptions options;
    Wire wire(options);
    wire.keys({13, 13, 8, 3, 3});
    const int before = wire.lengths()[0];
    wire.sendWithSequence(0x40, 8, {1});
    wire.sendWithSequence(0x40, 8, {1});
    EXPECT_EQ(wire.lengths()[0], before + kEditStepMm);
}

TEST(RepeatedFrames, ABadChecksumFrameIsIgnored) {
    Wire wire;
    Bytes frame = frameFor(0x30, 8, {keys::kUp});
    frame[3] ^= 0x01;
    wire.model.receive(frame, wire.now);
    EXPECT_FALSE(wire.model.nextDue());
    EXPECT_EQ(wire.model.executedCount(), 0u);
}

ModelOptions paced(bool pace) {
    ModelOptions options;
    options.pace = pace;
    return options;
}

// The times, from the model's start, at which the trace shows frames coming in.
struct TracedModel {
    explicit TracedModel(ModelOptions options) : model(options) {
        model.setTrace([this](std::string_view line) {
            if (line.find(" IN ") != std::string_view::npos)
                in.push_back(std::stod(std::string(line)));
        });
    }
    ControllerModel model;
    std::vector<double> in;
};

double secondsOf(TimePoint t) {
    return std::chrono::duration<double>(t - TimePoint{}).count();
}

Duration wireTime(const Bytes& bytes) {
    return static_cast<int>(bytes.size()) * kByteTime;
}

TEST(ReplyTiming, RepliesAreDueAfterTheTurnaroundAllAtOnceUnpaced) {
    Wire wire;
    wire.model.receive(frameFor(1, 1), at(1s));
    EXPECT_EQ(wire.model.nextDue(), at(1s) + kTurnaround);
    EXPECT_EQ(wire.model.dueCount(at(1s)), 0u);
    EXPECT_EQ(wire.model.dueCount(at(1s) + kTurnaround), 16u);  // 13 bytes framed
}

TEST(ReplyTiming, PacedRepliesLeaveAtTheWireRate) {
    Wire wire(paced(true));
    const Bytes request = frameFor(1, 1);
    wire.model.receive(request, at(1s));
    // The reply's first start bit goes out a turnaround after the request's end byte is in; a
    // byte can be read once its stop bit has arrived.
    const TimePoint first = at(1s) + wireTime(request) + kTurnaround + kByteTime;
    EXPECT_EQ(wire.model.dueCount(first - 1ns), 0u);
    EXPECT_EQ(wire.model.dueCount(first), 1u);
    EXPECT_EQ(wire.model.dueCount(first + 10 * kByteTime), 11u);
    const Bytes some = wire.model.takeDue(first + 4 * kByteTime);
    EXPECT_EQ(some.size(), 5u);
    EXPECT_EQ(wire.model.nextDue(), first + 5 * kByteTime);
    // A reply queued behind another waits for the line.
    wire.model.receive(frameFor(2, 8, {5}), first);
    wire.model.takeDue(first + 16 * kByteTime);
    EXPECT_EQ(wire.model.nextDue(), first + 17 * kByteTime);
}

TEST(ReplyTiming, APacedRequestReadInOnePieceRunsOnlyOnceItsEndByteCouldHaveArrived) {
    TracedModel m(paced(true));
    const Bytes request = frameFor(3, 5, {0, 0});  // a block read, seen whole in one read
    m.model.receive(request, at(1s));
    const TimePoint arrived = at(1s) + wireTime(request);
    ASSERT_EQ(m.in.size(), 1u);
    EXPECT_NEAR(m.in[0], secondsOf(arrived), 1e-6);  // the trace's resolution
    EXPECT_EQ(m.model.executedCount(), 1u);
    // The reply's first byte leaves a turnaround later and is in a byte time after that.
    EXPECT_EQ(m.model.nextDue(), arrived + kTurnaround + kByteTime);
    EXPECT_EQ(m.model.dueCount(arrived + kTurnaround + kByteTime - 1ns), 0u);
}

TEST(ReplyTiming, APacedExchangeTakesItsBytesBothWaysPlusTheTurnaround) {
    ControllerModel model(paced(true));
    const Bytes request = frameFor(3, 5, {0, 0});
    model.receive(request, at(1s));
    Bytes reply;
    TimePoint lastIn{};
    while (const auto due = model.nextDue()) {
        lastIn = *due;
        const Bytes got = model.takeDue(*due);
        reply.insert(reply.end(), got.begin(), got.end());
    }
    ASSERT_EQ(framesIn(reply).size(), 1u);
    EXPECT_EQ(lastIn, at(1s) + wireTime(request) + kTurnaround + wireTime(reply));
}

TEST(ReplyTiming, APacedBlockWriteStartsItsMemoryTimeAfterItsOwnBytes) {
    ControllerModel model(paced(true));
    Bytes data{0, 0};
    data.resize(2 + 32, 0x55);
    const Bytes request = frameFor(4, 4, data);
    model.receive(request, at(1s));
    EXPECT_EQ(model.nextDue(),
              at(1s) + wireTime(request) + kTurnaround + kBlockWriteTime + kByteTime);
}

TEST(ReplyTiming, PacedBytesAlreadyAtTheWireRateAreNotHeldFurther) {
    ControllerModel model(paced(true));
    const Bytes request = frameFor(3, 1);
    for (std::size_t i = 0; i < request.size(); ++i)
        model.receive(Bytes{request[i]}, at(1s) + static_cast<int>(i) * kByteTime);
    EXPECT_EQ(model.nextDue(), at(1s) + wireTime(request) + kTurnaround + kByteTime);

    // After a pause the line is idle: the rest arrives from when it was written.
    ControllerModel late(paced(true));
    late.receive(Bytes(request.begin(), request.begin() + 2), at(1s));
    late.receive(Bytes(request.begin() + 2, request.end()), at(2s));
    EXPECT_EQ(late.nextDue(), at(2s) + wireTime(request) - 2 * kByteTime + kTurnaround + kByteTime);
}

TEST(ReplyTiming, TwoFramesInOneReadArriveOneAfterTheOtherOnlyWhenPaced) {
    const Bytes a = frameFor(3, 1);
    const Bytes b = frameFor(4, 9);
    Bytes both = a;
    both.insert(both.end(), b.begin(), b.end());

    TracedModel p(paced(true));
    p.model.receive(both, at(1s));
    ASSERT_EQ(p.in.size(), 2u);
    EXPECT_NEAR(p.in[0], secondsOf(at(1s) + wireTime(a)), 1e-6);
    EXPECT_NEAR(p.in[1], secondsOf(at(1s) + wireTime(both)), 1e-6);

    TracedModel u(paced(false));
    u.model.receive(both, at(1s));
    ASSERT_EQ(u.in.size(), 2u);
    EXPECT_EQ(u.in[0], 1.0);
    EXPECT_EQ(u.in[1], 1.0);
    EXPECT_EQ(u.model.nextDue(), at(1s) + kTurnaround);
    EXPECT_EQ(u.model.executedCount(), 2u);
}

ModelOptions faulty(FaultRates rates, std::uint64_t seed) {
    ModelOptions options;
    options.faults = rates;
    options.seed = seed;
    return options;
}

// Everything that goes out for 200 status requests, with the times the bytes are due.
std::vector<std::pair<TimePoint, Bytes>> run(const ModelOptions& options) {
    ControllerModel model(options);
    std::vector<std::pair<TimePoint, Bytes>> out;
    for (int i = 0; i < 200; ++i) {
        const TimePoint t = at(std::chrono::milliseconds(400 * i));
        model.receive(frameFor(static_cast<std::uint8_t>(i & 0x7F), 1), t);
        out.emplace_back(t, model.takeDue(t + 100ms));
    }
    return out;
}

TEST(FaultInjection, TheSameSeedGivesTheSameFaults) {
    const FaultRates rates{0.1, 0.1, 0.1, 0.1};
    EXPECT_EQ(run(faulty(rates, 7)), run(faulty(rates, 7)));
    EXPECT_NE(run(faulty(rates, 7)), run(faulty(rates, 8)));
}

TEST(FaultInjection, RatesAreRoughlyKept) {
    const auto out = run(faulty({0.25, 0, 0, 0}, 3));
    const auto answered =
        std::count_if(out.begin(), out.end(), [](const auto& o) { return !o.second.empty(); });
    EXPECT_GT(answered, 120);
    EXPECT_LT(answered, 180);
}

TEST(FaultInjection, ADroppedFrameIsNeitherRunNorAnswered) {
    Wire wire(faulty({1, 0, 0, 0}, 1));
    EXPECT_FALSE(wire.send(8, {keys::kUp}));
    EXPECT_EQ(wire.model.executedCount(), 0u);
}

TEST(FaultInjection, ALostReplyStillRunsTheCommandOnce) {
    Wire wire(faulty({0, 0, 1, 0}, 1));
    EXPECT_FALSE(wire.sendWithSequence(0x10, 8, {keys::kUp}));
    EXPECT_FALSE(wire.sendWithSequence(0x10, 8, {keys::kUp}));
    EXPECT_EQ(wire.model.executedCount(), 1u);
    EXPECT_EQ(wire.model.controller().frequency(), 14150 + kFrequencyStepKHz);
}

TEST(FaultInjection, ACorruptedReplyFailsItsChecksum) {
    ControllerModel model(faulty({0, 1, 0, 0}, 5));
    for (int i = 0; i < 20; ++i) {
        model.receive(frameFor(static_cast<std::uint8_t>(i), 1), at(1s * i));
        const Bytes wire = model.takeDue(at(1s * i) + 100ms);
        EXPECT_FALSE(wire.empty());
        EXPECT_TRUE(framesIn(wire).empty()) << i;
    }
}

TEST(FaultInjection, NoiseGoesAheadOfAReplyThatStillDecodes) {
    ControllerModel model(faulty({0, 0, 0, 1}, 9));
    model.receive(frameFor(0x11, 1), at(0s));
    const Bytes wire = model.takeDue(at(1s));
    const auto frames = framesIn(wire);
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.back()[0], 0x11);
    EXPECT_GT(wire.size(), encodeFrame(frames.back()).value().size());
}

}  // namespace
}  // namespace kt6::sim::testing
