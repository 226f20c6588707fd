// Latency from a frequency change on Hamlib's dummy rig (served by rigctld, with a PTT that
// is read as well) to command 3 arriving at the simulated controller, with the rig polled at
// the default interval or at the one given in milliseconds as the first argument.
#include <hamlib/rig.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "core/rig_tracker.h"
#include "integration/radio/rig_fixture.h"
#include "link/link.h"
#include "radio/hamlib_models.h"
#include "radio/hamlib_rig_server.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using namespace kt6;

constexpr int kChanges = 50;
constexpr auto kArrivalDeadline = 5s;

struct ChosenRig1 : RigView {
    bool isTicked(int rig) const override { return rig == 1; }
    void setTicked(int, bool) override {}
    void setLamp(int, NamedColour) override {}
    void setMenuCheck(RigMenuItem, bool) override {}
    void showError(const std::string& text, const std::string&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
};

// Runs the event loop until done() holds or the deadline passes; false on the deadline.
template <typename Done>
bool runUntil(Done done, std::chrono::milliseconds deadline) {
    if (done()) return true;
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    check.start(1ms);
    QTimer::singleShot(deadline, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

void idle(std::chrono::milliseconds time) {
    QEventLoop loop;
    QTimer::singleShot(time, &loop, &QEventLoop::quit);
    loop.exec();
}

// A second Hamlib client of the same rigctld: the operator turning the dial.
class Dial {
  public:
    explicit Dial(int port) : rig_(rig_init(RIG_MODEL_NETRIGCTL)) {
        if (!rig_) return;
        const std::string path = "127.0.0.1:" + std::to_string(port);
        rig_set_conf(rig_, rig_token_lookup(rig_, "rig_pathname"), path.c_str());
        open_ = rig_open(rig_) == RIG_OK;
    }
    ~Dial() {
        if (!rig_) return;
        if (open_) rig_close(rig_);
        rig_cleanup(rig_);
    }
    bool ok() const { return open_; }
    bool set(double hz) { return rig_set_freq(rig_, RIG_VFO_CURR, hz) == RIG_OK; }

  private:
    RIG* rig_;
    bool open_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    prepareHamlib();
    std::chrono::milliseconds poll = kDefaultRigPoll;
    if (argc > 1)
        poll = std::clamp(std::chrono::milliseconds(std::atoi(argv[1])), kMinRigPoll, kMaxRigPoll);
    const int rigPort = testing::freeLoopbackPort();
    auto rigctld = testing::startRigctld(rigPort, testing::RigPtt::Rig);
    if (!rigctld) {
        std::fprintf(stderr, "rigctld could not be started\n");
        return 1;
    }

    auto backend = std::make_unique<testing::RecordingSimBackend>();
    testing::RecordingSimBackend* sim = backend.get();
    Comm32 port(std::move(backend), nullptr);
    port.OpenPort("bio1");
    port.SetPortParams(19200, 'n', 8, 1, 'N');
    Link link(port);
    link.enableExchanges();
    QTimer linkTimer;
    QObject::connect(&linkTimer, &QTimer::timeout, [&] { link.LinkTimerTick(); });
    linkTimer.start(kLinkTick);

    RigSettings settings = defaultRigSettings();
    settings.rig(1).port = "127.0.0.1:" + std::to_string(rigPort);
    settings.rig(2).model = 0;
    settings.rig(1).poll = poll;
    ChosenRig1 view;
    RigTracker tracker(
        link, view, [] { return true; },
        [&] {
            return std::make_unique<HamlibRigServer>(HamlibServerOptions{{}, settings, nullptr});
        });
    tracker.OpenRigClient();
    RigServer* server = tracker.RigClient();
    if (!tracker.following() ||
        !runUntil([&] { return server->status(1) == RigStatus::Online; }, 10s)) {
        std::fprintf(stderr, "rig 1 did not come online\n");
        return 1;
    }
    Dial dial(rigPort);
    if (!dial.ok()) {
        std::fprintf(stderr, "could not reach rigctld to turn the dial\n");
        return 1;
    }

    std::mt19937 rng(4532);
    std::uniform_int_distribution<int> phase(0, static_cast<int>(poll.count()));
    std::vector<double> latencies;
    for (int i = 0; i < kChanges; ++i) {
        // Changes land anywhere in the poll cycle, as an operator's would.
        idle(std::chrono::milliseconds(phase(rng)));
        const int kHz = 14000 + 3 * (i + 1);
        const Bytes want{static_cast<std::uint8_t>(kHz & 0xFF),
                         static_cast<std::uint8_t>(kHz >> 8)};
        const std::size_t before = sim->arrivals().size();
        const auto changed = Clock::now();
        if (!dial.set(kHz * 1000.0)) {
            std::fprintf(stderr, "rigctld refused the frequency\n");
            return 1;
        }
        const auto arrived = [&]() -> std::optional<Clock::time_point> {
            const auto all = sim->arrivals();
            for (std::size_t k = before; k < all.size(); ++k) {
                if (all[k].payload == want) return all[k].at;
            }
            return std::nullopt;
        };
        if (!runUntil([&] { return arrived().has_value(); },
                      std::chrono::duration_cast<std::chrono::milliseconds>(kArrivalDeadline))) {
            std::fprintf(stderr, "change %d to %d kHz never reached the controller\n", i, kHz);
            return 1;
        }
        latencies.push_back(
            std::chrono::duration<double, std::milli>(*arrived() - changed).count());
    }

    std::sort(latencies.begin(), latencies.end());
    const double median = (latencies[kChanges / 2 - 1] + latencies[kChanges / 2]) / 2;
    std::printf("BENCH radio_latency_median %.1f ms\n", median);
    std::printf("BENCH radio_latency_worst %.1f ms\n", latencies.back());
    return 0;
}
