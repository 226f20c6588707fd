// The console window, offscreen, on a pseudo-terminal whose far end is a controller stand-in:
// the time from a front-panel click to its frame at the controller, the largest gap between
// status requests while a key is pressed every 250 ms, and the window thread's CPU while the
// line floods noise at full speed.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "link/frame.h"
#include "link/status.h"
#include "percentile.h"
#include "support/fake_dialogs.h"
#include "support/pty_peer.h"

using kt6::bench::percentile;

namespace {

using Clock = std::chrono::steady_clock;
using kt6::Bytes;

// The controller: status requests answered with a tuned 20m record, everything else with 0,
// and the arrival time of every frame kept.
struct Controller {
    struct Arrival {
        Clock::time_point at;
        std::uint8_t code;
    };
    std::optional<Bytes> answer(const Bytes& content) {
        {
            std::lock_guard lock(mutex);
            arrivals.push_back({Clock::now(), content.size() > 1 ? content[1] : std::uint8_t{0}});
        }
        if (content.size() > 1 && content[1] == 1) {
            kt6::StatusRecord r;
            r.sequence = content[0];
            r.firmwareMinor = 13;
            r.firmwareMajor = 1;
            r.frequency = 14074;
            r.band = 8;
            r.drivers = 3;
            // The stand-in writes what it is given as it is: the frame, not just its content.
            return kt6::encodeFrame(kt6::encodeStatusRecord(r)).value();
        }
        return kt6::testing::statusZeroReply(content);
    }
    std::vector<Arrival> since(std::size_t from) {
        std::lock_guard lock(mutex);
        return {arrivals.begin() + static_cast<std::ptrdiff_t>(std::min(from, arrivals.size())),
                arrivals.end()};
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return arrivals.size();
    }
    std::mutex mutex;
    std::vector<Arrival> arrivals;
};

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Runs the window's loop for the given time.
void runFor(std::chrono::milliseconds d) {
    QTimer::singleShot(d, qApp, &QCoreApplication::quit);
    QApplication::exec();
}

std::unique_ptr<kt6::FmMain> makeWindow(const QTemporaryDir& dir, const std::string& device) {
    const auto settings = std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
    std::ofstream(settings) << "[General]\nSerialport=1\n[Ports]\nCOM1=" << device
                            << "\n[OmniRig]\nRig1=0\nRig2=0\n";
    kt6::ConsoleOptions options;
    options.settingsPath = settings;
    options.dialogs = std::make_shared<kt6::testing::FakeDialogs>();
    auto window = std::make_unique<kt6::FmMain>(std::move(options));
    window->FormActivate();
    return window;
}

// Click to frame, and the poll under keys every 250 ms.
int clicksAndPoll(const QTemporaryDir& dir) {
    kt6::testing::PtyPair pty;
    Controller controller;
    kt6::testing::PtyResponder responder(
        pty.master(), [&](const Bytes& content) { return controller.answer(content); });
    auto window = makeWindow(dir, pty.slavePath());
    runFor(std::chrono::milliseconds(1500));  // online, display painted
    auto* key20m = window->findChild<QAbstractButton*>("SpeedButton3");
    if (!key20m) {
        std::fprintf(stderr, "bench_console_loop: no 20m key\n");
        return 1;
    }

    std::vector<double> clickMs;
    for (int i = 0; i < 200; ++i) {
        const std::size_t mark = controller.count();
        const auto clicked = Clock::now();
        key20m->click();
        // The stand-in records the frame on its own thread: look once it has had the time.
        runFor(std::chrono::milliseconds(20));
        for (const auto& a : controller.since(mark)) {
            if (a.code == 8) {
                clickMs.push_back(
                    std::chrono::duration<double, std::milli>(a.at - clicked).count());
                break;
            }
        }
    }
    if (clickMs.size() < 150) {
        std::fprintf(stderr, "bench_console_loop: only %zu of 200 clicks reached the controller\n",
                     clickMs.size());
        return 1;
    }
    std::printf("BENCH click_to_frame_median %.3f ms\n", percentile(clickMs, 0.5));
    std::printf("BENCH click_to_frame_p99 %.3f ms\n", percentile(clickMs, 0.99));

    const std::size_t mark = controller.count();
    QTimer keys;
    QObject::connect(&keys, &QTimer::timeout, key20m, &QAbstractButton::click);
    keys.start(250);
    runFor(std::chrono::seconds(10));
    keys.stop();
    std::vector<Clock::time_point> polls;
    for (const auto& a : controller.since(mark))
        if (a.code == 1) polls.push_back(a.at);
    double largest = 0;
    for (std::size_t i = 1; i < polls.size(); ++i)
        largest = std::max(
            largest, std::chrono::duration<double, std::milli>(polls[i] - polls[i - 1]).count());
    std::printf("BENCH poll_gap_under_keys_max %.0f ms\n", largest);
    window->close();
    return polls.size() >= 2 ? 0 : 1;
}

struct Flood {
    double cpuPercent = 0;
    double megabytesPerSecond = 0;  // what the window took off the line
};

// The window thread's CPU while a flooder fills the line as fast as the window reads it.
Flood flood(const QTemporaryDir& dir, bool unended) {
    kt6::testing::PtyPair pty;
    auto window = makeWindow(dir, pty.slavePath());
    std::atomic<bool> stop{false};
    std::atomic<long long> written{0};
    std::thread flooder([&] {
        std::mt19937 random(7);
        Bytes chunk(4096);
        const int fd = pty.master();
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        while (!stop) {
            for (std::size_t i = 0; i < chunk.size(); ++i) {
                auto b = static_cast<std::uint8_t>(random());
                // A start byte, then 400 bytes that never end a frame.
                if (unended) b = i % 401 == 0 ? 0xF5 : static_cast<std::uint8_t>(b % 0xF0);
                chunk[i] = b;
            }
            std::size_t off = 0;
            while (off < chunk.size() && !stop) {
                const ssize_t n = ::write(fd, chunk.data() + off, chunk.size() - off);
                if (n > 0) {
                    off += static_cast<std::size_t>(n);
                    written += n;
                } else {
                    pollfd p{fd, POLLOUT, 0};
                    ::poll(&p, 1, 10);
                }
            }
        }
    });
    runFor(std::chrono::milliseconds(500));
    const double before = threadCpuSeconds();
    const long long bytesBefore = written;
    const auto started = Clock::now();
    runFor(std::chrono::seconds(5));
    const double cpu = threadCpuSeconds() - before;
    const double wall = std::chrono::duration<double>(Clock::now() - started).count();
    const long long bytes = written - bytesBefore;
    stop = true;
    flooder.join();
    window->close();
    return {100.0 * cpu / wall, static_cast<double>(bytes) / 1e6 / wall};
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    try {
        const int failed = clicksAndPoll(dir);
        for (const bool unended : {false, true}) {
            const Flood f = flood(dir, unended);
            const char* kind = unended ? "unended" : "random";
            std::printf("BENCH flood_%s_window_cpu %.1f %%\n", kind, f.cpuPercent);
            std::printf("BENCH flood_%s_taken %.2f MB/s\n", kind, f.megabytesPerSecond);
        }
        return failed;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_console_loop: %s\n", e.what());
        return 1;
    }
}
