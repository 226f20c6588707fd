// The console without a window: it needs no display, follows the radio the settings chose,
// serves the interface on the simulated controller (backups included), and a SIGTERM ends it
// cleanly.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "integration/radio/rig_fixture.h"
#include "integration/sim/sim_process.h"
#include "support/program_run.h"
#include "support/temp_dir.h"
#include "support/wait_for.h"

extern char** environ;

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::ProgramResult;
using testing::SimProcess;

TEST(HeadlessConsole,
     followsTheRadioServesTheControllerAndItsBackupsWithoutADisplayAndEndsOnSigterm) {
    testing::TempDir dir;
    SimProcess sim({"--trace", (dir.path / "trace").string()}, 5000ms);
    const int port = 46000 + ::getpid() % 1000;
    const int rigPort = 47000 + ::getpid() % 1000;
    auto rigctld = testing::startRigctld(rigPort);
    ASSERT_TRUE(rigctld) << "rigctld could not be started (libhamlib-utils)";
    ASSERT_EQ(testing::runRigctl(rigPort, {"F", "14074000"}), 0);
    const auto settings = dir.write(
        "skarnel.ini", "[General]\r\nSerialport=3\r\n[Ports]\r\nCOM3=" + sim.slavePath() +
                           "\r\n[Api]\r\nPort=" + std::to_string(port) +
                           "\r\n[OmniRig]\r\nRig1=1\r\nRig2=0\r\n[Radio1]\r\nPort=127.0.0.1:" +
                           std::to_string(rigPort) + "\r\n[Radio2]\r\nModel=0\r\n");
    const std::string binary = KT6_CONSOLE_BINARY;
    const std::string settingsArg = settings.string();
    std::vector<char*> argv{const_cast<char*>(binary.c_str()), const_cast<char*>("--headless"),
                            const_cast<char*>("--settings"), const_cast<char*>(settingsArg.c_str()),
                            nullptr};
    // No display of any kind: a window, or a plugin loaded for one, would fail here.
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0 ||
            entry.rfind("QT_QPA_PLATFORM=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const auto errors = dir.path / "stderr.txt";
    posix_spawn_file_actions_t actions;
    ASSERT_EQ(::posix_spawn_file_actions_init(&actions), 0);
    ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    ::posix_spawn_file_actions_destroy(&actions);
    // Its log says when the controller answers; until then kt6ctl would find no console and
    // take the port itself.
    ASSERT_TRUE(testing::waitFor(
        [&] { return testing::slurp(errors).find("link: COM3 online") != std::string::npos; },
        10000ms))
        << testing::slurp(errors);

    const auto ctl = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings", settingsArg});
        return testing::runProgram(KT6CTL_BINARY, args, 10000ms);
    };
    ProgramResult r = ctl({"status"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("online: yes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("port: COM3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("link: COM3 online, firmware 1.13, 3 drivers\n"), std::string::npos)
        << r.out;
    const auto traced = [&](const std::string& what) {
        std::ifstream trace(dir.path / "trace");
        const std::string text((std::istreambuf_iterator<char>(trace)), {});
        return text.find(what) != std::string::npos;
    };
    // The radio the settings chose is followed once the controller answers.
    EXPECT_TRUE(testing::waitFor([&] { return traced("set-frequency 14074 kHz"); }, 10000ms));
    r = ctl({"status"});
    EXPECT_NE(r.out.find("radio: Radio 1: 14.074000 MHz\n"), std::string::npos) << r.out;

    // A key through the interface reaches the controller through the console's own queue.
    r = ctl({"band", "40m"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(testing::waitFor([&] { return traced("key 7"); }, 5000ms));

    // A backup runs on the console's own transfers, as "Salva..." does in the window.
    const auto backup = dir.path / "backup.skarnel";
    r = testing::runProgram(KT6CTL_BINARY, {"--settings", settingsArg, "backup", backup.string()},
                            60000ms);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Backup saved to " + backup.string() + "\n");
    const std::string saved = testing::slurp(backup);
    EXPECT_EQ(saved.rfind("[Factory]\r\n", 0), 0u) << saved.substr(0, 80);
    EXPECT_NE(saved.find("[FactoryTune14]\r\n"), std::string::npos);

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    const bool ended =
        testing::waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 5000ms);
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    ASSERT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace kt6
