// The window on a COM port mapped to the network: the console's own serial layer picks the
// network transport, the window stays alive while it connects, and a failure shows its reason
// under "SELECT THE VALID PORT".
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>
#include <thread>
#include <vector>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "support/fake_rig_server.h"

namespace kt6 {
namespace {

struct SilentDialogs : Dialogs {
    void message(QWidget*, const QString&, const QString&) override {}
};

// A loopback port that takes connections (the kernel completes them from the backlog) and
// never says a word.
class SilentListener {
  public:
    // Port 0 takes any free one.
    explicit SilentListener(int port = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        socklen_t len = sizeof addr;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        ::listen(fd_, 4);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
    }
    ~SilentListener() { ::close(fd_); }
    int port() const { return port_; }
    // Stops listening: connections are refused from now on.
    void close() {
        ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Listens on a given loopback port with its accept queue full: connects get no answer at all,
// as from a host that is down or drops packets.
class Blackhole {
  public:
    explicit Blackhole(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        listening_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
                     ::listen(fd_, 0) == 0;
        for (int i = 0; listening_ && i < 3; ++i) {
            const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            clients_.push_back(client);
        }
    }
    ~Blackhole() {
        for (int c : clients_) ::close(c);
        ::close(fd_);
    }
    bool listening() const { return listening_; }

  private:
    int fd_ = -1;
    bool listening_ = false;
    std::vector<int> clients_;
};

class NetworkPortWindowTest : public ::testing::Test {
  protected:
    void start(const std::string& settings) {
        const auto path = std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
        QFile f(QString::fromStdString(path.string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(settings.c_str());
        f.close();
        ConsoleOptions options;
        options.settingsPath = path;
        options.documentsDir = dir.path().toStdString();
        options.dialogs = std::make_shared<SilentDialogs>();
        options.makeRigServer = [this] { return std::make_unique<testing::FakeRigServer>(rigs); };
        options.runPollTimer = false;
        window = std::make_unique<FmMain>(std::move(options));
    }
    QString text(const char* name) {
        auto* label = window->findChild<QLabel*>(QString::fromLatin1(name));
        EXPECT_TRUE(label) << name;
        return label ? label->text() : QString();
    }

    QTemporaryDir dir;
    testing::FakeRigState rigs;
    std::unique_ptr<FmMain> window;
};

TEST_F(NetworkPortWindowTest, aRefusedConnectionShowsHostPortAndReason) {
    SilentListener gone;
    const int port = gone.port();
    gone.close();
    start("[General]\nSerialport=2\n[Ports]\nCOM2=tcp://127.0.0.1:" + std::to_string(port) + "\n");
    window->SelectPort(2);
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_TRUE(
        text("lPortError").startsWith(QStringLiteral("127.0.0.1:%1: connection refused").arg(port)))
        << text("lPortError").toStdString();
}

TEST_F(NetworkPortWindowTest, timersRunWhileAnRfc2217ServerKeepsSilentThenItsReasonShows) {
    SilentListener silent;
    start("[General]\nSerialport=2\n[Ports]\nCOM2=rfc2217://127.0.0.1:" +
          std::to_string(silent.port()) + "\n");
    bool ticked = false;
    QTimer::singleShot(100, window.get(), [&] { ticked = true; });
    window->SelectPort(2);
    // The 3 s wait for a Telnet answer ran the window's timers.
    EXPECT_TRUE(ticked);
    EXPECT_EQ(window->PortNumber(), 0);
    EXPECT_TRUE(text("lPortError").contains(QStringLiteral("telnet(rfc2217)")))
        << text("lPortError").toStdString();
}

TEST_F(NetworkPortWindowTest, aLostNetworkPortIsRetriedWithoutWaitingOnAHostThatGivesNoAnswer) {
    auto listener = std::make_unique<SilentListener>();
    const int port = listener->port();
    start("[General]\nSerialport=2\n[Ports]\nCOM2=tcp://127.0.0.1:" + std::to_string(port) + "\n");
    window->SelectPort(2);
    ASSERT_EQ(window->PortNumber(), 2);

    // The listener goes: the connection it never accepted is reset, which is a device loss.
    listener.reset();
    for (int tick = 0; tick < 20 && !window->portLost(); ++tick) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        window->tmPollTimer();
    }
    ASSERT_TRUE(window->portLost());

    {
        Blackhole down(port);
        ASSERT_TRUE(down.listening());
        // An open's connect wait runs the window's events; a retry that only looks runs none.
        for (int retry = 0; retry < 6; ++retry) {
            bool pumped = false;
            QTimer::singleShot(0, window.get(), [&] { pumped = true; });
            window->tmRetryTimer();
            EXPECT_FALSE(pumped) << "retry " << retry;
            QCoreApplication::processEvents();
        }
        EXPECT_TRUE(window->portLost());
    }

    // The host takes connections again: a later retry reopens the port.
    SilentListener back(port);
    ASSERT_EQ(back.port(), port);
    for (int retry = 0; retry < 10 && window->portLost(); ++retry) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        window->tmRetryTimer();
    }
    EXPECT_FALSE(window->portLost());
    EXPECT_EQ(window->PortNumber(), 2);
}

}  // namespace
}  // namespace kt6
