// The console's link code reaching kt6-sim through ser2net on loopback, by a raw TCP accepter
// and by an RFC 2217 accepter: exchanges work, a dropped connection is a device loss, and
// connection failures reach the operator as clear texts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "core/port_session.h"
#include "integration/network/ser2net_process.h"
#include "integration/sim/sim_process.h"
#include "link/background_open.h"
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
        link.enableExchanges();
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

// A host name goes through the resolver (in the background) before the connection is tried.
TEST(NetworkPortNames, aHostNameIsResolvedAndItsRefusalNamed) {
    const int port = freeLoopbackPort();
    Console console("tcp://localhost:" + std::to_string(port));
    EXPECT_EQ(console.open(), ECONNREFUSED);
    EXPECT_THAT(portErrorText(ECONNREFUSED, console.port.DevicePath()),
                StartsWith("localhost:" + std::to_string(port) + ": connection refused"));
}

// What the window is told by the port session: the reports that matter here, counted.
struct SessionWatch : PortSessionObserver {
    void portClosed() override {}
    void deviceLost() override { ++lost; }
    void runRetryTimer(bool) override {}
    void deviceBack() override { ++back; }
    int lost = 0;
    int back = 0;
};

// The console's port session on a network port: the open and every quiet retry run in the
// background, one attempt at a time however long a host that drops connects keeps it, and the
// port is back once the server accepts again.
TEST_P(NetworkPort, aLostPortIsRetriedInTheBackgroundOneAttemptAtATimeUntilTheServerIsBack) {
    const int port = startServer().port();
    Console console(server->url());
    SessionWatch watch;
    PortSession session(console.port, console.link, watch);
    std::optional<PortSession::Opened> opened;
    session.open(3, [&](const PortSession::Opened& o) { opened = o; });
    EXPECT_EQ(session.state(), PortSession::State::Opening);
    ASSERT_TRUE(waitFor(
        [&] {
            session.tick();
            return opened.has_value();
        },
        10s));
    ASSERT_TRUE(opened->ok) << portErrorText(opened->cause, console.port.DevicePath());
    ASSERT_TRUE(console.status());

    ASSERT_TRUE(server->stop(SIGKILL, 5s));
    ASSERT_TRUE(waitFor(
        [&] {
            console.port.InputCount();
            return session.retrying();
        },
        5s));
    EXPECT_EQ(watch.lost, 1);
    {
        LoopbackListener down(LoopbackListener::Mode::Unanswering, port);
        ASSERT_EQ(down.port(), port);
        // Each call is a whole retry interval: the first starts an attempt, which waits for
        // the connect in the background; the others find it under way and add none.
        for (int tick = 0; tick < 5; ++tick) {
            session.retryTick();
            session.tick();
        }
        EXPECT_EQ(session.attempts(), 1);
        EXPECT_TRUE(session.retrying());
        EXPECT_FALSE(console.port.IsOpen());
    }

    startServer(port);
    EXPECT_TRUE(waitFor(
        [&] {
            session.retryTick();
            session.tick();
            return watch.back == 1;
        },
        15s));
    EXPECT_EQ(session.state(), PortSession::State::Open);
    EXPECT_TRUE(console.port.IsOpen());
    EXPECT_TRUE(console.status());
}

INSTANTIATE_TEST_SUITE_P(Accepters, NetworkPort,
                         ::testing::Values(Accepter::Raw, Accepter::Rfc2217), schemeName);

// An RFC 2217 mapping that reaches a raw accepter: no Telnet answer comes, and the operator
// learns what to change.
TEST(NetworkPortMismatch, rfc2217ToARawAccepterSaysTheServerOffersNoPortControl) {
    const fs::path dir =
        fs::temp_directory_path() / ("kt6-net-it-" + std::to_string(::getpid()) + "-mismatch");
    fs::create_directories(dir);
    {
        SimProcess sim({"--link", (dir / "kt6").string()}, 10s);
        Ser2netProcess server(sim.slavePath(), Accepter::Raw, dir, 10s);
        Console console("rfc2217://127.0.0.1:" + std::to_string(server.port()),
                        NetworkOptions{nullptr, 300ms});
        EXPECT_EQ(console.port.OpenPort("bio3"), kNoPortControl);
        EXPECT_FALSE(console.port.IsOpen());
        EXPECT_THAT(portErrorText(kNoPortControl, console.port.DevicePath()),
                    HasSubstr("telnet(rfc2217)"));
    }
    fs::remove_all(dir);
}

// An open given up in the background lets go of the server at its next step: with a limit of
// 30 s, only the giving up can end the wait for a server that never answers its negotiation.
TEST(BackgroundNetworkOpen, anOpenGivenUpClosesItsConnectionToASilentServerAtOnce) {
    LoopbackListener silent;
    ASSERT_GT(silent.port(), 0);
    auto open = std::make_unique<BackgroundOpen>(
        [](std::function<bool()> cancelled) {
            return makeSerialBackend(NetworkOptions{std::move(cancelled), 30s});
        },
        "rfc2217://127.0.0.1:" + std::to_string(silent.port()), LineSettings{});
    const int connection = silent.accept(5s);
    ASSERT_GE(connection, 0);
    EXPECT_FALSE(open->take());
    open.reset();
    EXPECT_TRUE(LoopbackListener::closedByPeer(connection, 5s));
}

// A raw port's open in the background comes back open and configured: what it read before the
// configure is gone, and the line is the console's from the first byte.
TEST(BackgroundNetworkOpen, aRawPortOpensInTheBackgroundAndIsAdoptedWithItsPath) {
    LoopbackListener server;
    ASSERT_GT(server.port(), 0);
    const std::string url = "tcp://127.0.0.1:" + std::to_string(server.port());
    BackgroundOpen open([](std::function<bool()> c) { return makeSerialBackend({std::move(c)}); },
                        url, LineSettings{});
    std::optional<OpenedPort> outcome;
    ASSERT_TRUE(waitFor([&] { return (outcome = open.take()).has_value(); }, 5s));
    ASSERT_EQ(outcome->error, 0);
    Comm32 port(makeSerialBackend(), [url](std::string_view) { return url; });
    ASSERT_EQ(port.AdoptPort("bio3", std::move(*outcome)), 0);
    EXPECT_TRUE(port.IsOpen());
    EXPECT_GE(port.ReadinessHandle(), 0);
    EXPECT_EQ(port.DevicePath(), url);
    const int connection = server.accept(5s);
    ASSERT_GE(connection, 0);
    EXPECT_FALSE(port.WriteString({0x01, 0x02}));
    EXPECT_EQ(port.PortError(), 0);
    // Closing the port ends the adopted connection; the port's own backend serves the next.
    EXPECT_EQ(port.ClosePort(), 0);
    EXPECT_TRUE(LoopbackListener::closedByPeer(connection, 5s));
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace kt6::testing
