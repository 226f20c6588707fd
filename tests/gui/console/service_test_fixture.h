#pragma once
// The window on a fake clock: the pauser, the simulated controller (or a scripted one) and
// the record of frames all read the same clock, so the tests see every key, every flag and
// the time between them without waiting.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QTemporaryDir>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <functional>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "sim/simulated_serial_backend.h"
#include "support/fake_dialogs.h"
#include "support/fake_rig_server.h"
#include "support/fake_scheduler.h"
#include "support/fake_serial.h"
#include "support/link_stepper.h"
#include "support/recording_backend.h"
#include "support/scripted_controller.h"

namespace kt6::testing {

using namespace std::chrono_literals;

using QuietDialogs = FakeDialogs;

struct KeyPress {
    int code;
    bool flagged;
    std::chrono::steady_clock::time_point at;
};

class ServiceWindowTest : public ::testing::Test {
  protected:
    using TimePoint = std::chrono::steady_clock::time_point;

    enum class Far { Simulator, Script };

    void start(Far far = Far::Simulator) {
        std::ofstream(settingsPath()) << "[OmniRig]\nRig1=0\nRig2=0\n";
        log.now = [this] { return now; };
        ConsoleOptions options;
        options.settingsPath = settingsPath();
        options.documentsDir = dir.path().toStdString();
        options.dialogs = dialogs;
        options.makeRigServer = [this] { return std::make_unique<FakeRigServer>(rigServer); };
        options.runPollTimer = false;
        options.makeSerialBackend = [this, far]() -> std::unique_ptr<SerialBackend> {
            std::unique_ptr<SerialBackend> inner;
            if (far == Far::Simulator) {
                auto sim = std::make_unique<sim::SimulatedSerialBackend>(
                    sim::ModelOptions{}, [this] { return now; },
                    [this](TimePoint t) { now = std::max(now, t); });
                simulator = sim.get();
                inner = std::move(sim);
            } else {
                inner = std::make_unique<FakeSerialBackend>(wire);
            }
            return std::make_unique<RecordingBackend>(std::move(inner), log);
        };
        options.scheduler = scheduler;
        window = std::make_unique<FmMain>(std::move(options));
        window->FormActivate();
    }

    // One status poll tick, a poll period after the last.
    void pollTick() {
        now += 400ms;
        window->tmPollTimer();
    }
    // Two ticks: a request, then its reply read.
    void poll() {
        pollTick();
        pollTick();
    }

    std::filesystem::path settingsPath() const {
        return std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
    }
    template <typename W = QWidget>
    W* find(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    bool shown(const char* name) { return !find(name)->isHidden(); }
    QString text(const char* name) { return find<QLabel>(name)->text(); }
    // The item or button, then the sequence it starts played to its end on the test's clock.
    void choose(const char* item) {
        find<QAction>(item)->trigger();
        settle();
    }
    void click(const char* button) {
        find<QAbstractButton>(button)->click();
        settle();
    }
    // Lets the running sequence's pauses pass, in steps as the window's loop would see them:
    // duringPause runs at each, and so do the events posted meanwhile.
    // The link is driven on the same clock: its input looked at every step, its timer ticked
    // every 50 ms, as the window's loop does.
    void settle() {
        for (int idle = 0; window && window->sequenceRunning() && idle < 2000;) {
            const auto eachStep = [this](std::chrono::milliseconds step) {
                slept += step;
                stepLink(step);
                if (duringPause) duringPause();
                QCoreApplication::processEvents();
                return window->sequenceRunning();
            };
            if (scheduler->pending()) {
                scheduler->runNext(kStep, eachStep);
                continue;
            }
            // An exchange waits for its reply: time passes for it alone.
            ++idle;
            linkStep();
        }
    }
    // One step of the test's clock with nothing scheduled: the link's input and timer only.
    void linkStep() {
        now += kStep;
        stepLink(kStep);
        QCoreApplication::processEvents();
    }
    // Runs the link alone until done says so (a reply has come and what follows it ran).
    void driveLinkUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200 && !done(); ++i) linkStep();
    }
    void stepLink(std::chrono::milliseconds step) { link.step(step); }
    testing::LinkStepper link{[this] { window->serviceLink(); },
                              [this] { window->tmTimerTimer(); }};
    static constexpr std::chrono::milliseconds kStep{10};
    bool frontKeysShown() {
        for (const char* k : {"SpeedButton1", "SpeedButton8", "SpeedButton12", "Chiudi"}) {
            if (!shown(k)) return false;
        }
        return true;
    }
    bool frontKeysHidden() {
        for (const char* k : {"SpeedButton1", "SpeedButton8", "SpeedButton12", "Chiudi"}) {
            if (shown(k)) return false;
        }
        return true;
    }

    std::size_t mark() const { return log.frames.size(); }
    std::vector<KeyPress> keysSince(std::size_t from) const {
        std::vector<KeyPress> out;
        for (std::size_t i = from; i < log.frames.size(); ++i) {
            const SentFrame& f = log.frames[i];
            if (f.code() == 8 && f.content.size() == 3)
                out.push_back({f.content[2], f.flagged(), f.at});
        }
        return out;
    }
    std::vector<int> codesSince(std::size_t from) const {
        std::vector<int> out;
        for (const auto& k : keysSince(from)) out.push_back(k.code);
        return out;
    }
    // Every command code sent since the mark, status requests included.
    std::vector<int> commandsSince(std::size_t from) const {
        std::vector<int> out;
        for (std::size_t i = from; i < log.frames.size(); ++i) out.push_back(log.frames[i].code());
        return out;
    }
    static long long msBetween(const KeyPress& a, const KeyPress& b) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(b.at - a.at).count();
    }

    QTemporaryDir dir;
    FakeRigState rigServer;
    FakeSerialState wire;
    ScriptedController script{wire};
    std::shared_ptr<QuietDialogs> dialogs = std::make_shared<QuietDialogs>();
    TimePoint now = TimePoint{} + std::chrono::hours(1);
    std::shared_ptr<FakeScheduler> scheduler = std::make_shared<FakeScheduler>(now);
    std::chrono::milliseconds slept{0};
    std::function<void()> duringPause;
    FrameLog log;
    sim::SimulatedSerialBackend* simulator = nullptr;
    std::unique_ptr<FmMain> window;
};

}  // namespace kt6::testing
