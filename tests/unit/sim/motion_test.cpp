#include <gtest/gtest.h>

#include "sim/element_lengths.h"
#include "sim_wire.h"

namespace kt6::sim::testing {
namespace {

TEST(Motion, MovingLastsAsLongAsTheLongestChangeAtTapeSpeed) {
    Wire wire;
    const Lengths from = wire.lengths();
    const TimePoint start = wire.now;
    wire.key(7);
    const Lengths to = wire.lengths();
    int longest = 0;
    for (std::size_t i = 0; i < 4; ++i) longest = std::max(longest, std::abs(to[i] - from[i]));
    const double speed = tapeSpeedMmPerSecond(wire.model.controller().memory());
    EXPECT_DOUBLE_EQ(speed, 250.0);
    const auto expected = std::chrono::duration<double>(longest / speed);
    const Motion& motion = wire.model.controller().motion();
    EXPECT_NEAR(std::chrono::duration<double>(motion.finish() - start).count(), expected.count(),
                0.01);
    wire.now = motion.finish() - 50ms;
    EXPECT_TRUE(wire.status().moving);
    wire.now = motion.finish() + 50ms;
    EXPECT_FALSE(wire.status().moving);
}

TEST(Motion, ProgressCountsSixtiethsOfTheRun) {
    Wire wire;
    const auto progress = [&] {
        const Bytes r = wire.send(10).value();
        EXPECT_EQ(r.size(), 6u);
        return std::pair{r[2] | r[3] << 8, r[4] | r[5] << 8};
    };
    EXPECT_EQ(progress().first, 0);  // idle: an empty bar
    const TimePoint start = wire.now;
    wire.key(7);
    const TimePoint end = wire.model.controller().motion().finish();
    wire.now = start + (end - start) / 4;
    auto [running, quarter] = progress();
    EXPECT_EQ(running, 1);
    EXPECT_NEAR(quarter, 15, 1);
    wire.now = start + (end - start) * 3 / 4;
    EXPECT_NEAR(progress().second, 45, 1);
    wire.now = end + 1ms;
    EXPECT_EQ(progress().first, 0);
}

TEST(Motion, ANewTargetMidwayStartsFromWhereTheTapesAre) {
    Motion motion;
    motion.placeAt({1000, 1000, 1000, 0});
    const TimePoint t0{};
    motion.moveTo({2000, 1000, 1000, 0}, t0, 250.0);  // 4 s
    const Lengths mid = motion.positionAt(t0 + 2s);
    EXPECT_EQ(mid[0], 1500);
    motion.moveTo({1000, 1000, 1000, 0}, t0 + 2s, 250.0);
    EXPECT_EQ(motion.finish(), t0 + 4s);
    EXPECT_EQ(motion.positionAt(t0 + 3s)[0], 1250);
}

}  // namespace
}  // namespace kt6::sim::testing
