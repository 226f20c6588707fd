// The station's "elements moving" outputs on fakes: the inhibit line over sequences of replies
// and link states, the close rule, and the hook's runs, their environment, their coalescing and
// their failures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/moving_outputs.h"
#include "support/fake_hook_launcher.h"

namespace kt6 {
namespace {

using ::testing::ElementsAre;
using testing::FakeHookLauncher;
using testing::FakeHookState;
using ::testing::HasSubstr;

// A line that logs every drive ("assert", "release") and its own end ("gone"), into a log the
// test keeps; drives fail while failWith is set.
struct LineLog {
    std::vector<std::string> events;
    std::string failWith;
};

class FakeLine : public InhibitLine {
  public:
    FakeLine(LineLog& log, std::string tag = {}) : log_(log), tag_(std::move(tag)) {}
    ~FakeLine() override { log_.events.push_back(tag_ + "gone"); }
    std::string assertLine() override { return drive("assert"); }
    std::string releaseLine() override { return drive("release"); }

  private:
    std::string drive(const std::string& what) {
        log_.events.push_back(tag_ + what);
        return log_.failWith;
    }
    LineLog& log_;
    std::string tag_;
};

class MovingOutputsTest : public ::testing::Test {
  protected:
    MovingOutputsTest() { outputs.setLine(std::make_unique<FakeLine>(line)); }

    // The drives since the last look.
    std::vector<std::string> drives() { return std::exchange(line.events, {}); }

    LineLog line;
    FakeHookState hooks;
    std::vector<std::string> reports;
    MovingOutputs outputs{std::make_unique<FakeHookLauncher>(hooks),
                          [this](const std::string& text) { reports.push_back(text); }};
};

// --- the line ---

TEST_F(MovingOutputsTest, theLineIsAssertedUntilTheFirstReplyThatSaysStill) {
    // Given a line, it is driven at once: nothing is known yet.
    EXPECT_THAT(drives(), ElementsAre("assert"));
    EXPECT_EQ(outputs.motion(), Motion::Unknown);
    outputs.linkOnline();
    outputs.statusSeen(true);
    EXPECT_TRUE(drives().empty());
    EXPECT_TRUE(outputs.inhibited());
    outputs.statusSeen(false);
    EXPECT_THAT(drives(), ElementsAre("release"));
    EXPECT_EQ(outputs.motion(), Motion::Still);
    EXPECT_FALSE(outputs.inhibited());
}

TEST_F(MovingOutputsTest, theLineFollowsRepliesAndIsAssertedWheneverTheLinkCannotSay) {
    drives();
    struct Step {
        const char* what;
        std::function<void()> input;
        std::vector<std::string> expected;
        Motion motion;
    };
    const std::vector<Step> steps = {
        {"still", [&] { outputs.statusSeen(false); }, {"release"}, Motion::Still},
        {"still again", [&] { outputs.statusSeen(false); }, {}, Motion::Still},
        {"moving", [&] { outputs.statusSeen(true); }, {"assert"}, Motion::Moving},
        {"moving again", [&] { outputs.statusSeen(true); }, {}, Motion::Moving},
        {"still", [&] { outputs.statusSeen(false); }, {"release"}, Motion::Still},
        {"online while replies come", [&] { outputs.linkOnline(); }, {}, Motion::Still},
        {"offline", [&] { outputs.linkOffline(); }, {"assert"}, Motion::Unknown},
        // The port is open again, but the last reply is from before: still unknown.
        {"online again", [&] { outputs.linkOnline(); }, {}, Motion::Unknown},
        {"still", [&] { outputs.statusSeen(false); }, {"release"}, Motion::Still},
        {"lost", [&] { outputs.linkLost(); }, {"assert"}, Motion::Unknown},
        {"moving", [&] { outputs.statusSeen(true); }, {}, Motion::Moving},
        {"offline while moving", [&] { outputs.linkOffline(); }, {}, Motion::Unknown},
        {"still", [&] { outputs.statusSeen(false); }, {"release"}, Motion::Still},
    };
    for (const Step& step : steps) {
        step.input();
        EXPECT_EQ(drives(), step.expected) << step.what;
        EXPECT_EQ(outputs.motion(), step.motion) << step.what;
    }
    EXPECT_EQ(outputs.link(), LinkReport::Online);
    outputs.linkLost();
    EXPECT_EQ(outputs.link(), LinkReport::Lost);
}

TEST_F(MovingOutputsTest, aFailingLineIsReportedOncePerEpisodeAndTriedAgainAtEveryInput) {
    line.failWith = "/dev/ttyUSB3 RTS: no such device; check that the adapter is plugged in";
    outputs.statusSeen(false);
    outputs.statusSeen(false);
    outputs.linkOnline();
    // Every input after the failure tries again, but the operator is told once.
    EXPECT_THAT(drives(), ElementsAre("assert", "release", "release", "release"));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0],
              "Station line failed: /dev/ttyUSB3 RTS: no such device; check that the adapter is "
              "plugged in");
    // Back: no more retries while nothing changes; a new failure is a new episode.
    line.failWith.clear();
    outputs.statusSeen(false);
    outputs.statusSeen(false);
    EXPECT_THAT(drives(), ElementsAre("release"));
    line.failWith = "gone again";
    outputs.statusSeen(true);
    EXPECT_EQ(reports.size(), 2u);
}

TEST_F(MovingOutputsTest, aNewLineIsDrivenBeforeTheOldOneIsLetGo) {
    outputs.statusSeen(false);
    drives();
    outputs.setLine(std::make_unique<FakeLine>(line, "new "));
    EXPECT_THAT(drives(), ElementsAre("new release", "gone"));
    outputs.linkLost();
    EXPECT_THAT(drives(), ElementsAre("new assert"));
    outputs.setLine(nullptr);
    EXPECT_THAT(drives(), ElementsAre("new gone"));
    // No line: inputs drive nothing and fail nothing.
    outputs.statusSeen(false);
    EXPECT_TRUE(drives().empty());
    EXPECT_TRUE(reports.empty());
}

// --- the close rule ---

TEST_F(MovingOutputsTest, closeReleasesTheLineOnlyWhenTheElementsWereKnownToStandStill) {
    outputs.statusSeen(false);
    drives();
    outputs.close();
    EXPECT_THAT(drives(), ElementsAre("release"));
    // Closed: nothing is driven any more, whatever comes.
    outputs.statusSeen(true);
    outputs.linkOffline();
    EXPECT_TRUE(drives().empty());
    EXPECT_TRUE(outputs.closed());
}

TEST_F(MovingOutputsTest, closeLeavesTheLineAssertedWhileMovingOrUnknown) {
    for (auto last : {+[](MovingOutputs& o) { o.statusSeen(true); },
                      // The last reply said still, but the link went since: not known still.
                      +[](MovingOutputs& o) {
                          o.statusSeen(false);
                          o.linkOffline();
                      },
                      +[](MovingOutputs& o) {
                          o.statusSeen(false);
                          o.linkLost();
                      }}) {
        LineLog log;
        FakeHookState noHooks;
        MovingOutputs o(std::make_unique<FakeHookLauncher>(noHooks), [](const std::string&) {});
        o.setLine(std::make_unique<FakeLine>(log));
        last(o);
        const std::string before = log.events.back();
        const std::size_t drivesBefore = log.events.size();
        o.close();
        EXPECT_EQ(before, "assert");
        EXPECT_EQ(log.events.size(), drivesBefore) << "the line was driven at close";
    }
}

// --- the hook ---

TEST_F(MovingOutputsTest, theHookIsToldTheStateAtStartAndAtEachChangeAsTheLineIs) {
    outputs.setCommand("/usr/local/bin/inhibit --port 'USB 3'");
    ASSERT_EQ(hooks.runs.size(), 1u);
    EXPECT_THAT(hooks.runs[0].args, ElementsAre("/usr/local/bin/inhibit", "--port", "USB 3"));
    EXPECT_THAT(hooks.runs[0].env, ElementsAre("KT6_MOVING=1"));
    hooks.finishLast();
    outputs.linkOnline();
    outputs.statusSeen(true);  // unknown to moving: the station's state stays "inhibit"
    EXPECT_EQ(hooks.runs.size(), 1u);
    outputs.statusSeen(false);
    hooks.finishLast();
    outputs.statusSeen(true);
    hooks.finishLast();
    outputs.statusSeen(false);
    hooks.finishLast();
    outputs.linkLost();
    hooks.finishLast();
    EXPECT_THAT(hooks.movingValues(), ElementsAre("1", "0", "1", "0", "1"));
    EXPECT_TRUE(reports.empty());
}

TEST_F(MovingOutputsTest, oneHookAtATimeAndOnlyTheLatestStateRunsWhenItEnds) {
    outputs.setCommand("hook");
    drives();
    ASSERT_EQ(hooks.running(), 1u);
    outputs.statusSeen(false);
    outputs.statusSeen(true);
    outputs.statusSeen(false);
    // The line does not wait for the hook.
    EXPECT_THAT(drives(), ElementsAre("release", "assert", "release"));
    EXPECT_EQ(hooks.runs.size(), 1u);
    EXPECT_TRUE(outputs.hookRunning());
    hooks.finishLast();
    ASSERT_EQ(hooks.runs.size(), 2u);
    EXPECT_EQ(hooks.movingValues().back(), "0");
    // Changes that end where the running hook began run nothing more.
    outputs.statusSeen(true);
    outputs.statusSeen(false);
    hooks.finishLast();
    EXPECT_EQ(hooks.runs.size(), 2u);
    EXPECT_FALSE(outputs.hookRunning());
}

TEST_F(MovingOutputsTest, hookFailuresReachTheEventsFieldWithTheCommand) {
    const std::string command = "/opt/station/inhibit.sh";
    outputs.setCommand(command);
    HookOutcome exited;
    exited.code = 2;
    hooks.finishLast(exited);
    outputs.statusSeen(false);
    HookOutcome notStarted;
    notStarted.end = HookOutcome::End::NotStarted;
    notStarted.reason = "execve: No such file or directory";
    hooks.finishLast(notStarted);
    outputs.statusSeen(true);
    HookOutcome killed;
    killed.end = HookOutcome::End::Killed;
    killed.code = 9;
    hooks.finishLast(killed);
    // A failure does not stop the next change from running the hook.
    outputs.statusSeen(false);
    hooks.finishLast();
    EXPECT_THAT(reports,
                ElementsAre("Station hook failed: /opt/station/inhibit.sh: exit status 2",
                            "Station hook failed: /opt/station/inhibit.sh: cannot start: execve: "
                            "No such file or directory",
                            "Station hook failed: /opt/station/inhibit.sh: killed by signal 9"));
    EXPECT_EQ(hooks.runs.size(), 4u);
}

TEST_F(MovingOutputsTest, aCommandThatDoesNotSplitIsReportedAndNeverRun) {
    outputs.setCommand("inhibit 'USB 3");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_THAT(reports[0], HasSubstr("Station hook failed: inhibit 'USB 3: "));
    EXPECT_THAT(reports[0], HasSubstr("not closed"));
    outputs.statusSeen(false);
    outputs.statusSeen(true);
    EXPECT_TRUE(hooks.runs.empty());
    // A blank command is no hook at all, and no failure.
    outputs.setCommand("   ");
    outputs.statusSeen(false);
    EXPECT_TRUE(hooks.runs.empty());
    EXPECT_EQ(reports.size(), 1u);
}

TEST_F(MovingOutputsTest, aNewCommandRunsWithTheStateNowOnceTheRunningHookEnds) {
    outputs.setCommand("old");
    outputs.statusSeen(false);
    hooks.finishLast();
    ASSERT_EQ(hooks.runs.size(), 2u);  // old: 1 then 0, the second still running
    outputs.setCommand("new --flag");
    EXPECT_EQ(hooks.runs.size(), 2u);
    hooks.finishLast();
    ASSERT_EQ(hooks.runs.size(), 3u);
    EXPECT_THAT(hooks.runs[2].args, ElementsAre("new", "--flag"));
    // Told "0" already by the old command, the new one is still told.
    EXPECT_EQ(hooks.movingValues().back(), "0");
}

TEST_F(MovingOutputsTest, nothingRunsAfterCloseAndAHookEndingLateIsReportedStill) {
    outputs.setCommand("hook");
    outputs.close();
    outputs.statusSeen(false);
    EXPECT_EQ(hooks.runs.size(), 1u);
    HookOutcome exited;
    exited.code = 1;
    hooks.finishLast(exited);
    EXPECT_EQ(hooks.runs.size(), 1u);
    EXPECT_THAT(reports, ElementsAre("Station hook failed: hook: exit status 1"));
}

TEST(MovingOutputsLifetime, aHookThatEndsAfterTheOutputsAreGoneFindsThemGone) {
    FakeHookState hooks;
    int reports = 0;
    {
        MovingOutputs outputs(std::make_unique<FakeHookLauncher>(hooks),
                              [&](const std::string&) { ++reports; });
        outputs.setCommand("hook");
    }
    HookOutcome exited;
    exited.code = 3;
    hooks.finishLast(exited);
    EXPECT_EQ(reports, 0);
}

TEST(MovingOutputsLifetime, aLauncherThatEndsTheHookInsideStartIsTakenInStride) {
    // A launcher may find at once that the program cannot start.
    struct AtOnce : HookLauncher {
        int starts = 0;
        void start(const std::vector<std::string>&, const std::vector<std::string>&,
                   Finished finished) override {
            ++starts;
            HookOutcome o;
            o.end = HookOutcome::End::NotStarted;
            finished(o);
        }
    };
    auto launcher = std::make_unique<AtOnce>();
    AtOnce& atOnce = *launcher;
    std::vector<std::string> reports;
    MovingOutputs outputs(std::move(launcher),
                          [&](const std::string& text) { reports.push_back(text); });
    outputs.setCommand("missing");
    outputs.statusSeen(false);
    outputs.statusSeen(false);
    EXPECT_EQ(atOnce.starts, 2);
    EXPECT_FALSE(outputs.hookRunning());
    EXPECT_EQ(reports.size(), 2u);
}

}  // namespace
}  // namespace kt6
