// The console as an operator runs it: a real window on an X server (Xvfb), talking to the
// simulator over a pseudo-terminal. Checks what is on the screen, pixel by pixel.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/wait_for.h"

extern char** environ;

namespace kt6 {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

using testing::waitFor;

// A child process with its output in a file; killed and reaped when it goes out of scope.
class Child {
  public:
    // extraFd: also open `output` as this descriptor in the child (Xvfb's -displayfd).
    Child(std::vector<std::string> argv, const fs::path& output, std::vector<std::string> env = {},
          int extraFd = -1) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        if (extraFd >= 0) posix_spawn_file_actions_adddup2(&actions, 1, extraFd);
        std::vector<char*> args;
        for (auto& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        // The given entries replace the inherited ones of the same name (the test itself may
        // run with QT_QPA_PLATFORM=offscreen).
        std::vector<std::string> envText = env;
        for (char** e = environ; *e; ++e) {
            const std::string entry(*e);
            const std::string name = entry.substr(0, entry.find('=') + 1);
            const bool replaced =
                std::any_of(env.begin(), env.end(),
                            [&](const std::string& given) { return given.rfind(name, 0) == 0; });
            if (!replaced) envText.push_back(entry);
        }
        std::vector<char*> envp;
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), envp.data()) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() { stop(SIGKILL); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool running() const { return pid_ > 0 && ::kill(pid_, 0) == 0; }
    // Signals the child and waits for it; its exit status, or -1.
    int stop(int signal) {
        if (pid_ <= 0) return -1;
        ::kill(pid_, signal);
        int status = 0;
        const bool ended = waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, 10s);
        if (!ended) {
            // Still there: kill it for good, and report that it did not stop as asked.
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            pid_ = -1;
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid_ = -1;
};

// Runs a short command and returns what it printed on stdout.
std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, p)) out += buffer;
        ::pclose(p);
    }
    return out;
}

class ConsoleOnXvfb : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kt6-xvfb-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        // -displayfd picks a free display and writes its number to descriptor 3.
        xvfb.emplace(std::vector<std::string>{"/usr/bin/Xvfb", "-displayfd", "3", "-screen", "0",
                                              "800x500x24", "-nolisten", "tcp"},
                     dir / "xvfb.out", std::vector<std::string>{}, 3);
        ASSERT_TRUE(waitFor([&] { return readDisplay(); }, 20s)) << slurp(dir / "xvfb.out");
        sim.emplace(std::vector<std::string>{KT6_SIM_BINARY, "--link", (dir / "kt6").string(),
                                             "--firmware", "1.13"},
                    dir / "sim.out");
        ASSERT_TRUE(waitFor([&] { return fs::exists(dir / "kt6"); }, 10s))
            << slurp(dir / "sim.out");
        std::ofstream(dir / "skarnel.ini")
            << "[General]\nSerialport=2\n[Ports]\nCOM2=" << (dir / "kt6").string()
            << "\n[OmniRig]\nRig1=0\nRig2=0\n";
        console.emplace(std::vector<std::string>{KT6_CONSOLE_BINARY, "--settings",
                                                 (dir / "skarnel.ini").string()},
                        dir / "console.out",
                        std::vector<std::string>{"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"});
    }
    void TearDown() override {
        console.reset();
        sim.reset();
        xvfb.reset();
        fs::remove_all(dir);
    }
    bool readDisplay() {
        std::string text = slurp(dir / "xvfb.out");
        const auto end = text.find('\n');
        if (end == std::string::npos) return false;
        const std::string number = text.substr(0, end);
        if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
            // Xvfb's own messages came first; the number is on a line of its own.
            std::istringstream lines(text);
            std::string line;
            while (std::getline(lines, line)) {
                if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
                    display = ":" + line;
                    return true;
                }
            }
            return false;
        }
        display = ":" + number;
        return true;
    }
    std::string x(const std::string& command) {
        return run("DISPLAY=" + display + " " + command + " 2>/dev/null");
    }
    // The colour of one pixel of the window, as "#RRGGBB".
    std::string pixel(const std::string& window, int px, int py) {
        const std::string out = x("import -window " + window + " -crop 1x1+" + std::to_string(px) +
                                  "+" + std::to_string(py) + " +repage -depth 8 txt:-");
        // "# ImageMagick pixel enumeration ..." then "0,0: (...)  #RRGGBB  srgb(...)".
        const auto line = out.find("0,0:");
        const auto hash = line == std::string::npos ? line : out.find('#', line);
        return hash == std::string::npos ? out : out.substr(hash, 7);
    }

    fs::path dir;
    std::string display;
    std::optional<Child> xvfb, sim, console;
};

TEST_F(ConsoleOnXvfb, theWindowShowsTheLiveDisplayAndClosesCleanly) {
    ASSERT_TRUE(waitFor(
        [&] { return slurp(dir / "console.out").find("online") != std::string::npos; }, 20s))
        << slurp(dir / "console.out");
    std::string window;
    ASSERT_TRUE(waitFor(
        [&] {
            std::istringstream ids(x("xdotool search --name '^SkarNel KT-6$'"));
            ids >> window;
            return !window.empty();
        },
        10s));
    const std::string geometry = x("xdotool getwindowgeometry " + window);
    int width = 0, height = 0;
    const auto at = geometry.find("Geometry: ");
    ASSERT_NE(at, std::string::npos) << geometry;
    ASSERT_EQ(std::sscanf(geometry.c_str() + at, "Geometry: %dx%d", &width, &height), 2);
    EXPECT_EQ(width, 623);
    // The client area lies between the menu bar and the status bar, whose two rows are
    // ConsoleStatusBar::kHeight high (this test runs the program and links no widgets).
    constexpr int kStatusBarHeight = 38;
    EXPECT_GT(height, 330 + kStatusBarHeight);
    const int menu = height - 330 - kStatusBarHeight;

    // The display panel lies at 72,96 of the front panel; its lower edge shows the panel's
    // own colour while the elements stand still. The picture around it is darker.
    EXPECT_TRUE(
        waitFor([&] { return pixel(window, 72 + 4, menu + 1 + 96 + 148) == "#C0DCC0"; }, 5s))
        << pixel(window, 72 + 4, menu + 1 + 96 + 148);
    EXPECT_NE(pixel(window, 30, menu + 1 + 200), "#C0DCC0");
    // The simulator starts on 20 m: the poll lights that key (224,280, 41 x 41) orange.
    auto orange = [&] {
        const std::string rgb = pixel(window, 224 + 20, menu + 1 + 280 + 20);
        if (rgb.size() != 7) return false;
        const long value = std::strtol(rgb.c_str() + 1, nullptr, 16);
        const long red = value >> 16, blue = value & 0xFF;
        return red > 180 && red - blue > 80;
    };
    EXPECT_TRUE(waitFor(orange, 5s)) << pixel(window, 224 + 20, menu + 1 + 280 + 20);
    EXPECT_NE(pixel(window, 104 + 20, menu + 1 + 280 + 20),
              pixel(window, 224 + 20, menu + 1 + 280 + 20));

    EXPECT_EQ(console->stop(SIGTERM), 0);
    const std::string settings = slurp(dir / "skarnel.ini");
    EXPECT_NE(settings.find("Serialport=2"), std::string::npos) << settings;
}

}  // namespace
}  // namespace kt6
