// kt6-sim answers the console's own link code over a real pseudo-terminal, and cleans up
// after itself when told to stop.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/comm32.h"
#include "link/link.h"
#include "link/status.h"
#include "sim_process.h"
#include "support/pty_peer.h"

namespace kt6::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The console's event loop in miniature: the link timer on the real clock, waits on the port.

class Kt6SimProcess : public ::testing::Test {
  protected:
    Kt6SimProcess() {
        dir = fs::temp_directory_path() /
              ("kt6-sim-it-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        link = dir / "kt6";
    }
    ~Kt6SimProcess() override { fs::remove_all(dir); }

    // The console's side of the cable, on the symbolic link kt6-sim made.
    struct Console {
        explicit Console(const fs::path& device)
            : port(makePlatformSerialBackend(), nullptr), pump(port), link(port) {
            pump.attach(&link);
            opened = port.OpenPort(device.string());
            if (opened == 0) opened = port.SetPortParams(19200, 'n', 8, 1, 'N');
            link.enableExchanges();
        }
        std::optional<StatusRecord> status() {
            if (pump.send(1, {}, false, 4, 200) != 0) return std::nullopt;
            Bytes record = pump.lastReply;
            record.insert(record.begin(), 2, 0);
            return decodeStatusRecord(record);
        }
        Comm32 port;
        RealTimePump pump;
        Link link;
        int opened = -1;
    };

    fs::path dir;
    fs::path link;
};

std::string slurp(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(Kt6SimProcess, AnswersStatusAndKeysOverThePseudoTerminal) {
    const fs::path trace = dir / "trace.log";
    SimProcess sim({"--link", link.string(), "--firmware", "1.13", "--trace", trace.string()}, 10s);
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), sim.slavePath());

    Console console(link);
    ASSERT_EQ(console.opened, 0) << portErrorText(console.opened);
    const auto status = console.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->firmwareMajor, 1);
    EXPECT_EQ(status->firmwareMinor, 13);
    EXPECT_EQ(status->drivers, 3);

    ASSERT_EQ(console.pump.send(8, {7}, false, 4, 100), 0);
    const auto after = console.status();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->frequency, 7050);
    EXPECT_EQ(after->band, 10);
    EXPECT_TRUE(after->moving);

    console.port.ClosePort();
    ASSERT_EQ(sim.stop(SIGTERM, 5s), 0);
    const std::string lines = slurp(trace);
    EXPECT_NE(lines.find("IN  F5"), std::string::npos) << lines;
    EXPECT_NE(lines.find("key 7"), std::string::npos) << lines;
    EXPECT_NE(lines.find("freq=7050"), std::string::npos) << lines;
}

TEST_F(Kt6SimProcess, StopSignalsRemoveTheSymbolicLink) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SimProcess sim({"--link", link.string()}, 10s);
        ASSERT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(sim.stop(signal, 5s), 0) << signal;
        EXPECT_FALSE(fs::is_symlink(link)) << signal;
    }
}

TEST_F(Kt6SimProcess, MemoryWrittenOverTheLineIsInTheFileAfterExit) {
    const fs::path memory = dir / "memory.ini";
    {
        SimProcess sim({"--link", link.string(), "--memory", memory.string()}, 10s);
        Console console(link);
        ASSERT_EQ(console.opened, 0);
        // Useroffs5, offset1 = 1234 (0x04D2).
        Bytes data(2 + 17, 0);
        data[0] = 7;
        data[3] = 0xD2;
        data[4] = 0x04;
        ASSERT_EQ(console.pump.send(4, data, true, 4, 6000), 0);
        console.port.ClosePort();
        ASSERT_EQ(sim.stop(SIGTERM, 5s), 0);
    }
    EXPECT_NE(slurp(memory).find("[Useroffs5]\n!checksum=0\noffset1=1234"), std::string::npos)
        << slurp(memory);
    // A new run starts from the saved memory.
    SimProcess again({"--link", link.string(), "--memory", memory.string()}, 10s);
    Console console(link);
    ASSERT_EQ(console.pump.send(5, {7, 0}, false, 4, 100), 0);
    EXPECT_EQ(console.pump.lastReply.at(1), 0xD2);
    EXPECT_EQ(console.pump.lastReply.at(2), 0x04);
}

}  // namespace
}  // namespace kt6::testing
