// The local interface of the window, offscreen, on a pseudo-terminal whose far end is a
// controller stand-in, with a client on a thread of its own: the round trip of a status
// request, a band request to its key frame at the controller, and a status reply from the
// controller to the status event at a watching client.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "console/fm_main.h"
#include "link/frame.h"
#include "link/status.h"
#include "percentile.h"
#include "support/fake_dialogs.h"
#include "support/loopback_listener.h"
#include "support/pty_peer.h"

using kt6::bench::percentile;

namespace {

using Clock = std::chrono::steady_clock;
using kt6::Bytes;

double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Status requests answered with a record whose frequency steps once per reply, so each reply
// is a change a watcher hears of; the time each frequency went out is kept, and so is the
// arrival of every key frame.
struct Controller {
    std::optional<Bytes> answer(const Bytes& content) {
        std::lock_guard lock(mutex);

        if (content.size() > 1 && content[1] == 8) keyArrivals.push_back(Clock::now());
        if (content.size() > 1 && content[1] == 1) {
            kt6::StatusRecord r;
            r.sequence = content[0];
            r.firmwareMinor = 13;
            r.firmwareMajor = 1;
            r.frequency = static_cast<std::uint16_t>(stepping ? ++frequency : frequency);
            r.band = 8;
            r.drivers = 3;
            // The reply is written as this returns: its time is now, give or take the write.
            sentAt[r.frequency] = Clock::now();
            // The stand-in writes what it is given as it is: the frame, not just its content.
            return kt6::encodeFrame(kt6::encodeStatusRecord(r)).value();
        }
        return kt6::testing::statusZeroReply(content);
    }
    std::mutex mutex;
    bool stepping = false;
    std::uint32_t frequency = 14000;
    std::map<std::uint32_t, Clock::time_point> sentAt;
    std::vector<Clock::time_point> keyArrivals;
};

// A blocking line client on a POSIX socket.
class Client {
  public:
    explicit Client(quint16 port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("no interface on the port");
        int one = 1;
        ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Client() { ::close(fd_); }
    void send(const std::string& line) {
        const std::string l = line + "\n";
        if (::write(fd_, l.data(), l.size()) != static_cast<ssize_t>(l.size()))
            throw std::runtime_error("write to the interface failed");
    }
    std::string line() {
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string l = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return l;
            }
            char chunk[4096];
            const ssize_t n = ::read(fd_, chunk, sizeof chunk);
            if (n <= 0) throw std::runtime_error("the interface closed");
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

  private:
    int fd_ = -1;
    std::string buffer_;
};

// Runs the window's loop until the flag is set.
void runUntil(const std::atomic<bool>& done) {
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        if (done) QCoreApplication::quit();
    });
    look.start(5);
    QApplication::exec();
}

void runFor(std::chrono::milliseconds d) {
    QTimer::singleShot(d, qApp, &QCoreApplication::quit);
    QApplication::exec();
}

int bench(const QTemporaryDir& dir) {
    kt6::testing::PtyPair pty;
    Controller controller;
    kt6::testing::PtyResponder responder(
        pty.master(), [&](const Bytes& content) { return controller.answer(content); });
    const auto port = static_cast<quint16>(kt6::testing::freeLoopbackPort());
    const auto settings = std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
    std::ofstream(settings) << "[General]\nSerialport=1\n[Ports]\nCOM1=" << pty.slavePath()
                            << "\n[OmniRig]\nRig1=0\nRig2=0\n[Api]\nPort=" << port
                            << "\nToken=bench-token-0123456789\n";
    kt6::ConsoleOptions options;
    options.settingsPath = settings;
    options.dialogs = std::make_shared<kt6::testing::FakeDialogs>();
    options.serveInterface = true;
    auto window = std::make_unique<kt6::FmMain>(std::move(options));
    window->FormActivate();
    runFor(std::chrono::milliseconds(1500));  // online

    std::vector<double> roundTrips, bandToFrame, replyToEvent;
    std::atomic<bool> done{false};
    std::string failure;
    std::thread client([&] {
        try {
            Client c(port);
            c.send(R"({"cmd":"auth","token":"bench-token-0123456789"})");
            if (c.line().find("\"ok\":true") == std::string::npos)
                throw std::runtime_error("the interface refused the token");
            for (int i = 0; i < 300; ++i) {
                const auto t0 = Clock::now();
                c.send(R"({"id":1,"cmd":"status"})");
                (void)c.line();
                roundTrips.push_back(ms(Clock::now() - t0));
            }
            for (int i = 0; i < 60; ++i) {
                std::size_t before;
                {
                    std::lock_guard lock(controller.mutex);
                    before = controller.keyArrivals.size();
                }
                const auto t0 = Clock::now();
                c.send(i % 2 ? R"({"cmd":"band","band":"20m"})" : R"({"cmd":"band","band":"40m"})");
                (void)c.line();
                std::lock_guard lock(controller.mutex);
                if (controller.keyArrivals.size() > before)
                    bandToFrame.push_back(ms(controller.keyArrivals[before] - t0));
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
            }
            c.send(R"({"cmd":"watch"})");
            (void)c.line();
            // The state as it is when the watch begins: no reply of the controller's caused it.
            (void)c.line();
            {
                std::lock_guard lock(controller.mutex);
                controller.stepping = true;
            }
            while (replyToEvent.size() < 40) {
                const auto event = nlohmann::json::parse(c.line(), nullptr, false);
                const auto at = Clock::now();
                if (!event.is_object() || event.value("event", "") != "status") continue;
                const auto f = event.value("frequency", 0u);
                std::lock_guard lock(controller.mutex);
                if (const auto sent = controller.sentAt.find(f); sent != controller.sentAt.end())
                    replyToEvent.push_back(ms(at - sent->second));
            }
        } catch (const std::exception& e) {
            failure = e.what();
        }
        done = true;
    });
    runUntil(done);
    client.join();
    window->close();
    if (!failure.empty()) {
        std::fprintf(stderr, "bench_interface: %s\n", failure.c_str());
        return 1;
    }
    std::printf("BENCH interface_status_round_trip_median %.3f ms\n", percentile(roundTrips, 0.5));
    std::printf("BENCH interface_status_round_trip_p99 %.3f ms\n", percentile(roundTrips, 0.99));
    std::printf("BENCH interface_band_to_key_frame_median %.3f ms\n", percentile(bandToFrame, 0.5));
    std::printf("BENCH interface_reply_to_status_event_median %.3f ms\n",
                percentile(replyToEvent, 0.5));
    std::printf("BENCH interface_reply_to_status_event_p99 %.3f ms\n",
                percentile(replyToEvent, 0.99));
    return bandToFrame.size() >= 50 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    try {
        return bench(dir);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_interface: %s\n", e.what());
        return 1;
    }
}
