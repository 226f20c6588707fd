// Service sequences played on a fake clock: the same keys, flags and gaps as the controller's
// menus need, and a loop that stays free while they wait.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/step_player.h"
#include "support/fake_clock.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;

// Records what the steps do, with the time each happened.
struct Recorder : ServiceActions {
    explicit Recorder(const FakeClock& time) : clock(time) {}
    void key(std::uint8_t code, bool flag, bool enableExchange,
             std::function<void()> done) override {
        log(std::to_string(code) + (flag ? "f" : "") + (enableExchange ? "" : "!"));
        if (holdKeys) {
            heldKey = std::move(done);
        } else {
            done();
        }
    }
    void returnKey(std::function<void()> done) override {
        log("ret");
        if (done) done();
    }
    void pauseStarted(std::chrono::milliseconds d) override {
        log("pause " + std::to_string(d.count()));
    }
    void pauseEnded() override { log("resume"); }
    void hideFrontKeys() override { log("hideKeys"); }
    void showFrontKeys() override { log("showKeys"); }
    void show(ServiceScreen s) override { log("show " + std::to_string(static_cast<int>(s))); }
    void hide(ServiceScreen) override { ++hides; }
    void factoryLines() override { log("lines"); }
    std::uint32_t currentFrequency() const override { return frequency; }
    bool abandoned() const override { return gone; }

    void log(const std::string& what) {
        events.push_back(what);
        times.push_back(clock.now() - start);
    }

    const FakeClock& clock;
    std::chrono::milliseconds start = clock.now();
    std::vector<std::string> events;
    std::vector<std::chrono::milliseconds> times;
    int hides = 0;
    std::uint32_t frequency = 14150;
    bool gone = false;
    bool holdKeys = false;
    std::function<void()> heldKey;
};

class StepPlayerTest : public ::testing::Test {
  protected:
    void runAll() {
        while (scheduler.runNext(10ms)) {
        }
    }
    // The time of each event named what, from the sequence's start.
    std::vector<long long> timesOf(const std::string& what) const {
        std::vector<long long> out;
        for (std::size_t i = 0; i < actions.events.size(); ++i) {
            if (actions.events[i] == what) out.push_back(actions.times[i].count());
        }
        return out;
    }

    FakeClock scheduler;
    Recorder actions{scheduler};
    StepPlayer player{scheduler};
};

TEST_F(StepPlayerTest, calibrateOpensWithTheMenuKeysAThirdOfASecondApart) {
    bool done = false;
    ASSERT_TRUE(
        player.play(openingSteps(ServiceFunction::Calibrate), actions, [&] { done = true; }));
    // Returned at the first pause, with the keys before it sent.
    EXPECT_TRUE(player.busy());
    EXPECT_EQ(actions.events, (std::vector<std::string>{"ret", "hideKeys", "13f", "pause 333"}));
    runAll();
    EXPECT_TRUE(done);
    EXPECT_FALSE(player.busy());
    EXPECT_EQ(actions.events, (std::vector<std::string>{"ret", "hideKeys", "13f", "pause 333",
                                                        "resume", "8", "pause 333", "resume", "6",
                                                        "pause 333", "resume", "6", "show 0"}));
    EXPECT_EQ(timesOf("8"), std::vector<long long>{333});
    EXPECT_EQ(timesOf("6"), (std::vector<long long>{666, 999}));
    EXPECT_EQ(actions.hides, 5);  // the five question screens
}

TEST_F(StepPlayerTest, retractYesSendsItsKeyAsItFindsTheLinkAndWaitsForTheBand) {
    actions.frequency = 21200;  // 15 s for the 15m band
    player.play(answerSteps(ServiceAnswer::RetractYes), actions);
    EXPECT_EQ(actions.events, (std::vector<std::string>{"show 6", "6!", "pause 15000"}));
    runAll();
    EXPECT_EQ(timesOf("showKeys"), std::vector<long long>{15000});
}

TEST_F(StepPlayerTest, theLoopRunsOtherWorkDuringAWaitAndASecondSequenceIsRefused) {
    player.play(answerSteps(ServiceAnswer::CalibrateYes), actions);
    EXPECT_EQ(actions.events, (std::vector<std::string>{"6", "show 5", "ret", "pause 26000"}));
    std::vector<long long> ranAt;
    scheduler.after(1000ms, [&] {
        ranAt.push_back(scheduler.now() / 1ms);
        EXPECT_FALSE(player.play(answerSteps(ServiceAnswer::CalibrateNo), actions));
    });
    runAll();
    EXPECT_EQ(ranAt, std::vector<long long>{1000});
    EXPECT_EQ(timesOf("ret"), (std::vector<long long>{0, 26000}));
    EXPECT_EQ(actions.events.back(), "showKeys");
}

TEST_F(StepPlayerTest, aKeyHoldsTheSequenceUntilItsExchangeIsOver) {
    actions.holdKeys = true;
    player.play(answerSteps(ServiceAnswer::TestNo), actions);
    EXPECT_EQ(actions.events, std::vector<std::string>{"5"});
    EXPECT_EQ(actions.hides, 0);
    auto done = std::move(actions.heldKey);
    done();
    EXPECT_EQ(actions.events, (std::vector<std::string>{"5", "showKeys"}));
    EXPECT_FALSE(player.busy());
    // A completion that comes again, late, moves nothing.
    done();
    EXPECT_EQ(actions.events.size(), 2u);
}

TEST_F(StepPlayerTest, cancelOrAnAbandonedWindowEndsTheSequenceWhereItStands) {
    bool done = false;
    player.play(answerSteps(ServiceAnswer::CalibrateYes), actions, [&] { done = true; });
    player.cancel();
    EXPECT_EQ(actions.events.back(), "resume");
    runAll();
    EXPECT_FALSE(done);
    EXPECT_EQ(timesOf("ret"), std::vector<long long>{0});

    actions.events.clear();
    player.play(answerSteps(ServiceAnswer::TestYes), actions, [&] { done = true; });
    actions.gone = true;
    runAll();
    EXPECT_FALSE(done);
    EXPECT_FALSE(player.busy());
    EXPECT_EQ(actions.events, (std::vector<std::string>{"show 7", "6", "pause 6000", "resume"}));
}

TEST_F(StepPlayerTest, theEndOfOneSequenceMayStartTheNext) {
    std::vector<std::string> ends;
    player.play(editorWalkInSteps(), actions, [&] {
        ends.push_back("walk");
        EXPECT_TRUE(player.play(editorSelectSteps(), actions, [&] { ends.push_back("select"); }));
    });
    runAll();
    EXPECT_EQ(ends, (std::vector<std::string>{"walk", "select"}));
    EXPECT_EQ(timesOf("3"), (std::vector<long long>{666, 999}));
    EXPECT_FALSE(player.busy());
}

}  // namespace
}  // namespace kt6
