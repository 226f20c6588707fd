// The one runner of sequences and transfers, on a test's clock.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

#include "link/step_runner.h"
#include "support/fake_clock.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;

class StepRunnerTest : public ::testing::Test {
  protected:
    FakeClock scheduler;
    StepRunner runner{scheduler};
};

TEST_F(StepRunnerTest, stepsThatEndAtOnceRunInOrderWithoutNesting) {
    // Deep enough that nesting each step in the one before would exhaust the stack.
    std::vector<int> order;
    std::vector<StepRunner::Step> steps;
    int depth = 0, deepest = 0;
    for (int i = 0; i < 200000; ++i) {
        steps.push_back([&, i](StepRunner::Next next) {
            if (i < 3) order.push_back(i);
            deepest = std::max(deepest, ++depth);
            next(true);
            --depth;
        });
    }
    std::optional<StepRunner::End> end;
    ASSERT_TRUE(runner.run(std::move(steps), [&](StepRunner::End e) { end = e; }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(deepest, 1);
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, StepRunner::End::Finished);
    EXPECT_FALSE(runner.busy());
}

TEST_F(StepRunnerTest, aPauseWaitsOnTheSchedulerAndStartingReturnsAtOnce) {
    bool after = false;
    ASSERT_TRUE(runner.run({runner.pause(333ms), [&](StepRunner::Next next) {
                                after = true;
                                next(true);
                            }}));
    EXPECT_TRUE(runner.busy());
    EXPECT_FALSE(runner.run({}));  // one run at a time
    EXPECT_FALSE(after);
    ASSERT_TRUE(scheduler.runNext(333ms));
    EXPECT_TRUE(after);
    EXPECT_FALSE(runner.busy());
}

TEST_F(StepRunnerTest, aStepThatSaysStopEndsTheRunThere) {
    bool third = false;
    std::optional<StepRunner::End> end;
    runner.run(
        {[](StepRunner::Next next) { next(true); }, [](StepRunner::Next next) { next(false); },
         [&](StepRunner::Next next) {
             third = true;
             next(true);
         }},
        [&](StepRunner::End e) { end = e; });
    EXPECT_FALSE(third);
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, StepRunner::End::Stopped);
}

TEST_F(StepRunnerTest, aCancelledRunIgnoresItsLateNextAndDropsItsDone) {
    StepRunner::Next late;
    bool told = false, second = false;
    runner.run({[&](StepRunner::Next next) { late = std::move(next); },
                [&](StepRunner::Next next) {
                    second = true;
                    next(true);
                }},
               [&](StepRunner::End) { told = true; });
    runner.cancel();
    // A new run is under way when the old step's reply comes in.
    bool fresh = false;
    runner.run({runner.pause(10ms), [&](StepRunner::Next next) {
                    fresh = true;
                    next(true);
                }});
    late(true);
    EXPECT_FALSE(second);
    EXPECT_FALSE(told);
    EXPECT_FALSE(fresh);
    scheduler.runNext(10ms);
    EXPECT_TRUE(fresh);
}

TEST_F(StepRunnerTest, theDoneOfOneRunMayStartTheNext) {
    std::vector<int> runs;
    runner.run({[&](StepRunner::Next next) {
                   runs.push_back(1);
                   next(true);
               }},
               [&](StepRunner::End) {
                   runner.run({[&](StepRunner::Next next) {
                       runs.push_back(2);
                       next(true);
                   }});
               });
    EXPECT_EQ(runs, (std::vector<int>{1, 2}));
    EXPECT_FALSE(runner.busy());
}

}  // namespace
}  // namespace kt6
