#include <gtest/gtest.h>

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

TEST(ReplyTiming, RepliesAreDueAfterTheTurnaroundAllAtOnceUnpaced) {
    Wire wire;
    wire.model.receive(frameFor(1, 1), at(1s));
    EXPECT_EQ(wire.model.nextDue(), at(1s) + kTurnaround);
    EXPECT_EQ(wire.model.dueCount(at(1s)), 0u);
    EXPECT_EQ(wire.model.dueCount(at(1s) + kTurnaround), 16u);  // 13 bytes framed
}

TEST(ReplyTiming, PacedRepliesLeaveAtTheWireRate) {
    ModelOptions options;
    options.pace = true;
    Wire wire(options);
    wire.model.receive(frameFor(1, 1), at(1s));
    const TimePoint first = at(1s) + kTurnaround;
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
