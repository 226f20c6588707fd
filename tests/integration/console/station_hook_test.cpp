// The station hook run for real: a script the test writes is started through QProcess with
// KT6_MOVING in its environment, one at a time, and how it ended comes back from the loop.
// Each wait is for the process's end, with a deadline.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

#include <signal.h>

#include <cerrno>

#include "console/station/process_hook_launcher.h"
#include "core/moving_outputs.h"

namespace kt6 {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr int kDeadlineMs = 10000;

class StationHookTest : public ::testing::Test {
  protected:
    // An executable script in the test's folder.
    std::string script(const char* name, const QByteArray& body) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\n" + body);
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }
    std::string path(const char* name) const {
        return dir.filePath(QString::fromLatin1(name)).toStdString();
    }
    QByteArray contents(const char* name) const {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll();
    }
    // Starts the program and waits for its end.
    std::optional<HookOutcome> run(const std::vector<std::string>& args,
                                   const std::vector<std::string>& env = {}) {
        std::optional<HookOutcome> outcome;
        launcher.start(args, env, [&](const HookOutcome& o) { outcome = o; });
        if (!QTest::qWaitFor([&] { return outcome.has_value(); }, kDeadlineMs)) return {};
        return outcome;
    }

    QTemporaryDir dir;
    ProcessHookLauncher launcher;
};

TEST_F(StationHookTest, theHookGetsItsArgumentsAndKt6MovingWithoutAShell) {
    const std::string hook =
        script("hook", "printf '%s|%s|%s\\n' \"$KT6_MOVING\" \"$1\" \"$2\" >> \"$3\"\n");
    const auto outcome = run({hook, "a b", "$HOME", path("out")}, {"KT6_MOVING=1"});
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->end, HookOutcome::End::Exited);
    EXPECT_EQ(outcome->code, 0);
    EXPECT_EQ(contents("out"), "1|a b|$HOME\n");
}

TEST_F(StationHookTest, howTheHookEndedComesBackAsItHappened) {
    const auto failed = run({script("fails", "exit 2\n")});
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->end, HookOutcome::End::Exited);
    EXPECT_EQ(failed->code, 2);

    const auto killed = run({script("killed", "kill -KILL $$\n")});
    ASSERT_TRUE(killed);
    EXPECT_EQ(killed->end, HookOutcome::End::Killed);
    EXPECT_EQ(killed->code, 9);
    EXPECT_EQ(hookFailureText("killed", *killed),
              "Station hook failed: killed: killed by signal 9");

    // A hook that reads its input finds it empty instead of waiting for ever.
    const auto reader = run({script("reader", "read line\nexit 0\n")});
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->end, HookOutcome::End::Exited);
}

TEST_F(StationHookTest, aProgramThatCannotStartIsToldFromTheLoopNotFromInsideStart) {
    bool told = false;
    std::optional<HookOutcome> outcome;
    launcher.start({path("no-such-hook")}, {}, [&](const HookOutcome& o) {
        told = true;
        outcome = o;
    });
    EXPECT_FALSE(told);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told; }, kDeadlineMs));
    EXPECT_EQ(outcome->end, HookOutcome::End::NotStarted);
    EXPECT_NE(outcome->reason, "");

    // Not executable is the same.
    const std::string notExecutable = script("plain", "exit 0\n");
    QFile::setPermissions(QString::fromStdString(notExecutable), QFile::ReadOwner);
    const auto refused = run({notExecutable});
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->end, HookOutcome::End::NotStarted);
}

TEST_F(StationHookTest, aHookStillRunningWhenItsLauncherGoesIsEndedAndTellsNoOne) {
    const std::string hook = script("long", "echo $$ > \"$1\"\nexec sleep 30\n");
    bool told = false;
    {
        ProcessHookLauncher shortLived;
        shortLived.start({hook, path("pid")}, {}, [&](const HookOutcome&) { told = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return contents("pid").endsWith('\n'); }, kDeadlineMs));
    }
    const pid_t pid = contents("pid").trimmed().toInt();
    ASSERT_GT(pid, 0);
    // Gone and reaped: no such process any more.
    EXPECT_NE(::kill(pid, 0), 0);
    EXPECT_EQ(errno, ESRCH);
    QCoreApplication::processEvents();
    EXPECT_FALSE(told);
}

TEST_F(StationHookTest, changesWhileTheHookRunsComeDownToTheLatestStateAfterIt) {
    // The first run waits for the test's go-ahead, so the changes surely come while it runs.
    const std::string hook = script("hook",
                                    "while [ ! -e \"$2\" ] && [ \"$KT6_MOVING\" = 1 ]; do sleep "
                                    "0.01; done\necho \"$KT6_MOVING\" >> \"$1\"\n");
    std::vector<std::string> reports;
    MovingOutputs outputs(std::make_unique<ProcessHookLauncher>(),
                          [&](const std::string& text) { reports.push_back(text); });
    const std::string command = "'" + hook + "' '" + path("out") + "' '" + path("go") + "'";
    outputs.setCommand(command);
    ASSERT_TRUE(outputs.hookRunning());
    outputs.statusSeen(true);
    outputs.statusSeen(false);
    outputs.linkOffline();
    outputs.statusSeen(false);
    QFile go(QString::fromStdString(path("go")));
    ASSERT_TRUE(go.open(QIODevice::WriteOnly));
    go.close();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return contents("out") == "1\n0\n" && !outputs.hookRunning(); }, kDeadlineMs))
        << contents("out").toStdString();
    EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace kt6
