// The console's link code reaching kt6-sim through ser2net on loopback, by a raw TCP accepter
// and by an RFC 2217 accepter: exchanges work, a dropped connection is a device loss, and
// connection failures reach the operator as clear texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "integration/network/ser2net_process.h"
#include "integration/sim/sim_process.h"
#include "link/comm32.h"
#include "link/device_recovery.h"
#include "link/link.h"
#include "link/serial_network.h"
#include "link/status.h"
#include "support/loopback_listener.h"
#include "support/pty_peer.h"
#include "support/wait_for.h"

namespace kt6::testing {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

// The console's side: COM3 mapped to a network port, the link timer on the real clock.
struct Console {
    explicit Console(std::string url, NetworkOptions options = {})
        : port(makeSerialBackend(std::move(options)),
               comPortResolver([url = std::move(url)](int n) -> std::optional<std::string> {
                   if (n == 3) return url;
                   return std::nullopt;
               })),
          pump(port),
          link(port) {
        pump.attach(&link);
        link.ExchangeEnabled = true;
    }
    // Opens COM3 as the console does; 0 or the error of the open, else of the settings.
    int open() {
        const int error = port.OpenPort("bio3");
        port.SetPortParams(19200, 'n', 8, 1, 'N');
        return error != 0 ? error : port.PortError();
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
};

class NetworkPort : public ::testing::TestWithParam<Accepter> {
  protected:
    NetworkPort() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->name());
        for (char& c : name) {
            if (c == '/') c = '-';
        }
        dir = fs::temp_directory_path() / ("kt6-net-it-" + std::to_string(::getpid()) + "-" + name);
        fs::create_directories(dir);
        sim.emplace(
            std::vector<std::string>{"--link", (dir / "kt6").string(), "--firmware", "1.13"}, 10s);
    }
    ~NetworkPort() override {
        server.reset();
        sim.reset();
        fs::remove_all(dir);
    }
    Ser2netProcess& startServer(int port = 0) {
        server.emplace(sim->slavePath(), GetParam(), dir, 10s, port);
        return *server;
    }

    fs::path dir;
    std::optional<SimProcess> sim;
    std::optional<Ser2netProcess> server;
};

std::string schemeName(const ::testing::TestParamInfo<Accepter>& info) {
    return info.param == Accepter::Raw ? "tcp" : "rfc2217";
}

TEST_P(NetworkPort, statusAndKeyExchangesGoThroughTheServer) {
    Console console(startServer().url());
    ASSERT_EQ(console.open(), 0) << portErrorText(console.port.PortError(),
                                                  console.port.DevicePath());
    const auto status = console.status();
    ASSERT_TRUE(status);
    EXPECT_EQ(status->firmwareMajor, 1);
    EXPECT_EQ(status->firmwareMinor, 13);

    ASSERT_EQ(console.pump.send(8, {7}, false, 4, 100), 0);
    const auto after = console.status();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->frequency, 7050);
    EXPECT_EQ(after->band, 10);
    EXPECT_FALSE(console.port.DeviceLost());
}

TEST_P(NetworkPort, aKilledServerIsADeviceLossAndTheSamePortOpensAgainWhenItReturns) {
    const int port = startServer().port();
    Console console(server->url());
    ASSERT_EQ(console.open(), 0);
    ASSERT_TRUE(console.status());

    ASSERT_TRUE(server->stop(SIGKILL, 5s));
    std::uint8_t b = 0;
    EXPECT_TRUE(waitFor(
        [&] {
            console.port.ReadByte(b);
            return console.port.DeviceLost();
        },
        5s));
    EXPECT_EQ(console.port.InputCount(), 0);
    // The wait on a lost connection takes its time instead of returning at once.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(console.port.WaitForInput(60ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 60ms);
    EXPECT_EQ(console.pump.send(8, {7}, false, 1, 100), kNoReply);

    // Reopened with nobody listening: the operator is told why.
    EXPECT_EQ(console.open(), ECONNREFUSED);
    EXPECT_FALSE(console.port.IsOpen());
    EXPECT_THAT(portErrorText(ECONNREFUSED, console.port.DevicePath()),
                StartsWith("127.0.0.1:" + std::to_string(port) + ": connection refused"));

    startServer(port);
    ASSERT_EQ(console.open(), 0);
    EXPECT_FALSE(console.port.DeviceLost());
    EXPECT_TRUE(console.status());
}

TEST_P(NetworkPort, aConnectionRefusedNamesHostAndPort) {
    const int port = freeLoopbackPort();
    Console console(std::string(GetParam() == Accepter::Raw ? "tcp" : "rfc2217") +
                    "://127.0.0.1:" + std::to_string(port));
    EXPECT_EQ(console.open(), ECONNREFUSED);
    EXPECT_FALSE(console.port.IsOpen());
    EXPECT_EQ(portErrorText(ECONNREFUSED, console.port.DevicePath())
                  .rfind("127.0.0.1:" + std::to_string(port) + ": connection refused", 0),
              0u);
    // Nothing to read and nothing lost on a port that never opened.
    EXPECT_FALSE(console.port.DeviceLost());
    EXPECT_EQ(console.pump.send(8, {7}, false, 1, 50), kNoReply);
}

TEST(PortReachabilityTest, aRefusedHostIsUnreachableAndADevicePathReachableAtOnce) {
    PortReachability reachability;
    const std::string refused = "tcp://127.0.0.1:" + std::to_string(freeLoopbackPort());
    // A refusal on loopback comes back within the check or by the next one.
    auto state = reachability.check(refused);
    if (state == PortReachability::State::Pending) state = reachability.check(refused);
    EXPECT_EQ(state, PortReachability::State::Unreachable);
    EXPECT_EQ(reachability.check("/dev/ttyUSB0"), PortReachability::State::Reachable);
    EXPECT_EQ(reachability.check("tcp://no-port-here"), PortReachability::State::Unreachable);
}

// A host name goes through the resolver (in the background) before the connection is tried.
TEST(NetworkPortNames, aHostNameIsResolvedAndItsRefusalNamed) {
    const int port = freeLoopbackPort();
    Console console("tcp://localhost:" + std::to_string(port));
    EXPECT_EQ(console.open(), ECONNREFUSED);
    EXPECT_THAT(portErrorText(ECONNREFUSED, console.port.DevicePath()),
                StartsWith("localhost:" + std::to_string(port) + ": connection refused"));
}

// The quiet retry of a lost network port as the console runs it: the host is reached without
// waiting first, and only then is the port opened.
TEST_P(NetworkPort, quietRetriesNeverWaitForAHostThatDropsConnectsAndReopenOnceItAccepts) {
    LoopbackListener down(LoopbackListener::Mode::Unanswering);
    ASSERT_GT(down.port(), 0);
    const std::string url = std::string(GetParam() == Accepter::Raw ? "tcp" : "rfc2217") +
                            "://127.0.0.1:" + std::to_string(down.port());
    int pumps = 0;
    NetworkOptions options;
    options.keepAlive = [&] { ++pumps; };
    Console console(url, options);
    PortReachability reachability;
    std::vector<PortReachability::State> seen;
    DeviceRecovery recovery([&] {
        seen.push_back(reachability.check(url));
        if (seen.back() != PortReachability::State::Reachable) return false;
        return console.open() == 0;
    });
    recovery.deviceLost();
    // Past the point where a connect still pending is given up and started afresh.
    for (int tick = 0; tick < 2 * (PortReachability::kPatience + 2); ++tick) {
        EXPECT_FALSE(recovery.elapse(DeviceRecovery::kRetryInterval));
    }
    // No attempt entered the open's wait, which is what runs the pump.
    EXPECT_EQ(pumps, 0);
    EXPECT_FALSE(console.port.IsOpen());
    ASSERT_EQ(seen.size(), 2u * (PortReachability::kPatience + 2));
    EXPECT_EQ(seen.front(), PortReachability::State::Pending);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), PortReachability::State::Reachable), 0);

    const int port = down.port();
    down.close();
    startServer(port);
    EXPECT_TRUE(waitFor([&] { return recovery.elapse(DeviceRecovery::kRetryInterval); }, 15s));
    EXPECT_FALSE(recovery.retrying());
    EXPECT_TRUE(console.port.IsOpen());
    EXPECT_TRUE(console.status());
}

INSTANTIATE_TEST_SUITE_P(Accepters, NetworkPort,
                         ::testing::Values(Accepter::Raw, Accepter::Rfc2217), schemeName);

// An RFC 2217 mapping that reaches a raw accepter: no Telnet answer comes, the window is kept
// alive while the console waits, and the operator learns what to change.
TEST(NetworkPortMismatch, rfc2217ToARawAccepterSaysTheServerOffersNoPortControl) {
    const fs::path dir =
        fs::temp_directory_path() / ("kt6-net-it-" + std::to_string(::getpid()) + "-mismatch");
    fs::create_directories(dir);
    {
        SimProcess sim({"--link", (dir / "kt6").string()}, 10s);
        Ser2netProcess server(sim.slavePath(), Accepter::Raw, dir, 10s);
        int keptAlive = 0;
        Console console("rfc2217://127.0.0.1:" + std::to_string(server.port()),
                        NetworkOptions{[&] { ++keptAlive; }, 300ms});
        EXPECT_EQ(console.port.OpenPort("bio3"), kNoPortControl);
        EXPECT_FALSE(console.port.IsOpen());
        EXPECT_GT(keptAlive, 3);
        EXPECT_THAT(portErrorText(kNoPortControl, console.port.DevicePath()),
                    HasSubstr("telnet(rfc2217)"));
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kt6::testing
