// The window on a COM port mapped to the network: the console's own serial layer picks the
// network transport, the window stays alive while it connects, and a failure shows its reason
// under "SELECT THE VALID PORT".
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

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
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
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

}  // namespace
}  // namespace kt6
