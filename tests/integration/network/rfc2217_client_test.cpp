// The RFC 2217 client against a scripted server on loopback that shows exactly what went on
// the wire: the remote line settings, 0xFF escaped both ways, data counted after unescaping,
// a server that refuses, and a connection reset.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "link/comm32.h"
#include "link/serial_network.h"
#include "link/telnet_codec.h"
#include "support/loopback_listener.h"
#include "support/wait_for.h"

namespace kt6::testing {
namespace {

using namespace std::chrono_literals;
using namespace telnet;

struct ServerScript {
    bool refusePortControl = false;
    // The speed the server reports after a SET-BAUDRATE; 0 reports the one asked for.
    std::uint32_t reportedSpeed = 0;
};

class ScriptedServer {
  public:
    explicit ScriptedServer(ServerScript script) : script_(script) {
        listen_ = listenOnLoopback(1, port_);
        if (listen_ < 0 || ::pipe2(stop_, O_CLOEXEC) != 0)
            throw std::runtime_error("scripted server");
        thread_ = std::thread([this] { run(); });
    }
    ~ScriptedServer() {
        [[maybe_unused]] const auto woken = ::write(stop_[1], "x", 1);
        thread_.join();
        for (int fd : {listen_, client_, stop_[0], stop_[1]}) {
            if (fd >= 0) ::close(fd);
        }
    }

    std::string url() const { return "rfc2217://127.0.0.1:" + std::to_string(port_); }
    Bytes received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    bool receivedContains(const Bytes& wanted, std::chrono::milliseconds within) const {
        return waitFor(
            [&] {
                const Bytes got = received();
                return std::search(got.begin(), got.end(), wanted.begin(), wanted.end()) !=
                       got.end();
            },
            within);
    }
    void send(const Bytes& bytes) {
        std::lock_guard lock(mutex_);
        ::send(client_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // Ends the connection with a reset instead of an orderly close.
    void reset() {
        std::lock_guard lock(mutex_);
        const linger hard{1, 0};
        ::setsockopt(client_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
        ::shutdown(client_, SHUT_RDWR);
        ::close(client_);
        client_ = -1;
    }

  private:
    void run() {
        pollfd waitAccept[2] = {{listen_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (::poll(waitAccept, 2, -1) <= 0 || (waitAccept[1].revents & POLLIN) != 0) return;
        {
            std::lock_guard lock(mutex_);
            client_ = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            const Bytes greeting{
                IAC,   script_.refusePortControl ? DONT : DO, COM_PORT, IAC, WILL, BINARY, IAC, DO,
                BINARY};
            ::send(client_, greeting.data(), greeting.size(), MSG_NOSIGNAL);
        }
        std::size_t parsed = 0;
        for (;;) {
            int fd = -1;
            {
                std::lock_guard lock(mutex_);
                fd = client_;
            }
            if (fd < 0) return;
            pollfd p[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(p, 2, 20) < 0 || (p[1].revents & POLLIN) != 0) return;
            if ((p[0].revents & POLLIN) == 0) continue;
            std::uint8_t buffer[512];
            std::lock_guard lock(mutex_);
            const ssize_t got = ::recv(client_, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got <= 0) return;
            received_.insert(received_.end(), buffer, buffer + got);
            parsed = answerCommands(parsed);
        }
    }

    // Answers each complete COM-PORT-OPTION command after `from`; where parsing stopped.
    std::size_t answerCommands(std::size_t from) {
        const Bytes& r = received_;
        std::size_t i = from;
        while (i + 1 < r.size()) {
            if (r[i] != IAC) {
                ++i;
                continue;
            }
            if (r[i + 1] == IAC) {
                i += 2;
                continue;
            }
            if (r[i + 1] != SB) {
                i += 2;
                continue;
            }
            Bytes body;
            std::size_t j = i + 2;
            bool complete = false;
            while (j + 1 < r.size()) {
                if (r[j] == IAC && r[j + 1] == SE) {
                    complete = true;
                    break;
                }
                if (r[j] == IAC && r[j + 1] == IAC) ++j;
                body.push_back(r[j++]);
            }
            if (!complete) return i;
            if (body.size() >= 2 && body[0] == COM_PORT) {
                Bytes value(body.begin() + 2, body.end());
                if (body[1] == SET_BAUDRATE && script_.reportedSpeed != 0) {
                    const std::uint32_t s = script_.reportedSpeed;
                    value = {static_cast<std::uint8_t>(s >> 24), static_cast<std::uint8_t>(s >> 16),
                             static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)};
                }
                const Bytes answer =
                    TelnetCodec::command(static_cast<std::uint8_t>(body[1] + kServerOffset), value);
                ::send(client_, answer.data(), answer.size(), MSG_NOSIGNAL);
            }
            i = j + 2;
        }
        return i;
    }

    ServerScript script_;
    int listen_ = -1;
    int client_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    mutable std::mutex mutex_;
    Bytes received_;
    std::thread thread_;
};

Comm32 portTo(const std::string& url) {
    return Comm32(makeSerialBackend(NetworkOptions{nullptr, 2s}),
                  [url](std::string_view) { return url; });
}

TEST(Rfc2217Client, setsTheControllersLineAtTheServerAndHoldsDtrOn) {
    ScriptedServer server({});
    Comm32 port = portTo(server.url());
    ASSERT_EQ(port.OpenPort("bio1"), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    for (const Bytes& command : {
             Bytes{IAC, WILL, COM_PORT},
             Bytes{IAC, SB, COM_PORT, SET_BAUDRATE, 0x00, 0x00, 0x4B, 0x00, IAC, SE},
             Bytes{IAC, SB, COM_PORT, SET_DATASIZE, 8, IAC, SE},
             Bytes{IAC, SB, COM_PORT, SET_PARITY, 1, IAC, SE},
             Bytes{IAC, SB, COM_PORT, SET_STOPSIZE, 1, IAC, SE},
             Bytes{IAC, SB, COM_PORT, SET_CONTROL, 1, IAC, SE},
             Bytes{IAC, SB, COM_PORT, SET_CONTROL, 8, IAC, SE},
             Bytes{IAC, SB, COM_PORT, PURGE_DATA, 3, IAC, SE},
         }) {
        EXPECT_TRUE(server.receivedContains(command, 2s)) << ::testing::PrintToString(command);
    }
}

TEST(Rfc2217Client, data0xFFIsEscapedBothWaysAndCountedOnceAsInput) {
    ScriptedServer server({});
    Comm32 port = portTo(server.url());
    ASSERT_EQ(port.OpenPort("bio1"), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);

    EXPECT_FALSE(port.WriteString({0xF5, 0xFF, 0xFA}));
    EXPECT_EQ(port.PortError(), 0);
    EXPECT_TRUE(server.receivedContains({0xF5, IAC, IAC, 0xFA}, 2s));

    // Data with a doubled IAC, a NOP and a modem-state notice between the data bytes.
    server.send({0x41, IAC, IAC, IAC, 241, 0x42, IAC, SB, COM_PORT, 107, 0x30, IAC, SE, 0x43});
    EXPECT_TRUE(waitFor([&] { return port.InputCount() == 4; }, 2s)) << port.InputCount();
    Bytes got;
    std::uint8_t b = 0;
    while (port.ReadByte(b)) got.push_back(b);
    EXPECT_EQ(got, (Bytes{0x41, 0xFF, 0x42, 0x43}));
    EXPECT_EQ(port.InputCount(), 0);
}

TEST(Rfc2217Client, aServerThatRefusesPortControlFailsTheOpen) {
    ScriptedServer server({.refusePortControl = true});
    Comm32 port = portTo(server.url());
    EXPECT_EQ(port.OpenPort("bio1"), kNoPortControl);
    EXPECT_FALSE(port.IsOpen());
}

TEST(Rfc2217Client, aServerThatKeepsAnotherSpeedFailsTheSettings) {
    ScriptedServer server({.reportedSpeed = 9600});
    Comm32 port = portTo(server.url());
    ASSERT_EQ(port.OpenPort("bio1"), 0);
    EXPECT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), kLineSettingsRefused);
}

TEST(Rfc2217Client, aResetConnectionIsADeviceLossAndWritesFail) {
    ScriptedServer server({});
    Comm32 port = portTo(server.url());
    ASSERT_EQ(port.OpenPort("bio1"), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    EXPECT_FALSE(port.DeviceLost());
    server.reset();
    EXPECT_TRUE(waitFor(
        [&] {
            port.InputCount();
            return port.DeviceLost();
        },
        2s));
    EXPECT_FALSE(port.WriteString({0x01}));
    EXPECT_NE(port.PortError(), 0);
    // Closing ends the episode, whether or not the loss already closed the port.
    port.ClosePort();
    EXPECT_FALSE(port.DeviceLost());
}

}  // namespace
}  // namespace kt6::testing
