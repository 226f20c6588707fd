// The console as a process: asked to stop by a signal, it closes like its close box does.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "memory/profile_file.h"
#include "support/wait_for.h"

extern char** environ;

namespace kt6 {
namespace {

using namespace std::chrono_literals;

// True once the process has installed a handler for the signal (its SigCgt mask).
bool catches(pid_t pid, int signal) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long mask = std::stoull(line.substr(7), nullptr, 16);
            return (mask >> (signal - 1)) & 1ULL;
        }
    }
    return false;
}

// True once the process holds this device open.
bool holds(pid_t pid, const std::string& device) {
    std::error_code ec;
    for (const auto& fd :
         std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        if (std::filesystem::read_symlink(fd.path(), ec) == device) return true;
    }
    return false;
}

using testing::waitFor;

class ConsoleProcess : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kt6-console-" + std::to_string(::getpid()) + "-" + std::to_string(GetParam()));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        settings = dir / "skarnel.ini";
        // COM7 is a pseudo-terminal the test holds: the console opening it marks the end of
        // its start-up sequence, and no real device is touched.
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        slave = ::ptsname(master);
        std::ofstream(settings) << "[General]\nSerialport=7\n[Ports]\nCOM7=" << slave
                                << "\n[OmniRig]\nRig1=1\nRig2=0\n";
    }
    void launch() {
        const std::string binary = KT6_CONSOLE_BINARY;
        const std::string settingsArg = settings.string();
        std::vector<char*> argv{const_cast<char*>(binary.c_str()), const_cast<char*>("--settings"),
                                const_cast<char*>(settingsArg.c_str()), nullptr};
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        errors = dir / "stderr.txt";
        posix_spawn_file_actions_t actions;
        ASSERT_EQ(::posix_spawn_file_actions_init(&actions), 0);
        ::posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int spawned =
            ::posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ASSERT_EQ(spawned, 0);
        ASSERT_TRUE(waitFor([&] { return catches(pid, GetParam()); }, 20s));
    }
    // Signals the console and waits for a clean exit.
    void stop() {
        ASSERT_EQ(::kill(pid, GetParam()), 0);
        int status = 0;
        ASSERT_TRUE(waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, 20s));
        pid = -1;
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (master >= 0) ::close(master);
        std::filesystem::remove_all(dir);
    }
    // What the console wrote on stderr so far.
    std::string stderrText() const {
        std::ifstream in(errors);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::filesystem::path dir, settings, errors;
    std::string slave;
    int master = -1;
    pid_t pid = -1;
};

TEST_P(ConsoleProcess, signalAfterStartUpClosesTheWindowAndSavesSettings) {
    launch();
    ASSERT_TRUE(waitFor([&] { return holds(pid, slave); }, 20s));
    std::filesystem::remove(settings);  // whatever is there after the stop, the close wrote
    stop();
    ProfileFile saved(settings);
    ASSERT_TRUE(saved.existed());
    EXPECT_EQ(saved.readString("OmniRig", "Rig1", ""), "1");
    EXPECT_EQ(saved.readString("OmniRig", "Rig2", ""), "0");
    // The controller never answered: the close does not write the port.
    EXPECT_EQ(saved.readString("General", "Serialport", ""), "");
}

TEST_P(ConsoleProcess, signalDuringStartUpLosesNoSettings) {
    launch();
    stop();
    ProfileFile saved(settings);
    EXPECT_EQ(saved.readString("OmniRig", "Rig1", ""), "1");
    EXPECT_EQ(saved.readString("OmniRig", "Rig2", ""), "0");
    EXPECT_EQ(saved.readString("General", "Serialport", ""), "7");
}

TEST_P(ConsoleProcess, signalWhileTheSettingsCannotBeSavedEndsWithTheReasonOnStderr) {
    // The settings' folder turns into a file under the running console (root may write
    // anywhere, so no mode bit would do): the close cannot save.
    const auto folder = dir / "gone";
    std::filesystem::create_directories(folder);
    std::filesystem::rename(settings, folder / "skarnel.ini");
    settings = folder / "skarnel.ini";
    launch();
    ASSERT_TRUE(waitFor([&] { return holds(pid, slave); }, 20s));
    std::filesystem::remove_all(folder);
    std::ofstream(folder) << "not a folder\n";
    // A box asking for OK would keep the process for nobody: it must end by itself.
    stop();
    // Why, on stderr, where the box would have said it.
    const std::string said = stderrText();
    EXPECT_NE(said.find("skarnel-kt6: The settings file " + (folder / "skarnel.ini").string()),
              std::string::npos)
        << said;
}

TEST_P(ConsoleProcess, signalWhileABoxIsUpStillEndsTheConsole) {
    // A port that is no number is told in a box at start-up, before the port is opened.
    std::ofstream(settings) << "[General]\nSerialport=seven\n[Ports]\nCOM1=" << slave
                            << "\n[OmniRig]\nRig1=1\nRig2=0\n";
    launch();
    // Every box is on stderr as it opens.
    ASSERT_TRUE(waitFor(
        [&] { return stderrText().find("is not a valid serial port number") != std::string::npos; },
        20s));
    stop();
}

INSTANTIATE_TEST_SUITE_P(Signals, ConsoleProcess, ::testing::Values(SIGTERM, SIGINT));

}  // namespace
}  // namespace kt6
