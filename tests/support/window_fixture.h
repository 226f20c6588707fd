#pragma once
// The one fixture of the window tests: the console window with its settings in a folder of the
// test's own, its boxes answered by the test, a fake rig server, and at the far end of its line
// a scripted controller or the simulated controller model, every frame it writes logged with the
// moment it went out. Its poll, its link and the work it runs on its loop (service sequences,
// block transfers) are driven on the test's one fake clock.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "console/fm_main.h"
#include "console/setup/setup_panel.h"
#include "console/status/status_bar.h"
#include "link/exchange_engine.h"
#include "sim/simulated_serial_backend.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_rig_server.h"
#include "support/fake_serial.h"
#include "support/recording_backend.h"
#include "support/scripted_controller.h"

namespace kt6::testing {

// A key press as it went out on the line: its code, its flag bit, and when.
struct KeyPress {
    int code;
    bool flagged;
    std::chrono::steady_clock::time_point at;
};

class WindowFixture : public ::testing::Test {
  protected:
    using ms = std::chrono::milliseconds;
    // Who answers at the far end of the line: a scripted controller, the simulated controller
    // model, or whatever the settings' COM port leads to through the console's own serial
    // layer (a pseudo-terminal, a network port).
    enum class Far { Script, Simulator, Device };
    // The test's clock takes steps this long while work runs on the loop.
    static constexpr ms kStep{10};
    static constexpr ms kPollPeriod{400};

    WindowFixture() {
        wire.realTimeWaits = true;
        controller.record.firmwareMinor = 13;
        controller.record.firmwareMajor = 1;
        controller.record.frequency = 7157;
        controller.record.band = 10;
        controller.record.drivers = 3;
        log.now = [this] { return clock->time(); };
    }

    // --- the settings file ---
    std::filesystem::path settingsPath() const {
        return std::filesystem::path(dir.path().toStdString()) / "skarnel.ini";
    }
    void writeSettings(const std::string& text) {
        QFile f(QString::fromStdString(settingsPath().string()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text.c_str());
    }
    QByteArray settingsText() const {
        QFile f(QString::fromStdString(settingsPath().string()));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll();
    }

    // --- starting the window ---
    // The window's options from the fixture's choices as they are now (`far`, and `simulated`
    // for the simulated controller); a test adjusts them before start(). The poll is the test's
    // to tick; sequences and transfers wait on the window's own timers.
    ConsoleOptions baseOptions() {
        ConsoleOptions options;
        options.settingsPath = settingsPath();
        options.documentsDir = dir.path().toStdString();
        options.dialogs = dialogs;
        options.makeRigServer = [this] { return std::make_unique<FakeRigServer>(rigServer); };
        options.runPollTimer = false;
        if (far != Far::Device) {
            options.makeSerialBackend = [this, far = far, model = simulated] {
                return std::make_unique<RecordingBackend>(farEnd(far, model), log);
            };
        }
        return options;
    }
    // The same, with sequences and transfers waiting on the test's clock.
    ConsoleOptions transferOptions() {
        ConsoleOptions options = baseOptions();
        options.scheduler = clock;
        return options;
    }
    void start(ConsoleOptions options) {
        window = std::make_unique<FmMain>(std::move(options));
        window->FormActivate();
    }
    void start() { start(baseOptions()); }

    // --- the window's loop on the test's clock ---
    // n ticks of the status poll, each a poll period after the last.
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) {
            clock->idle(kPollPeriod);
            window->tmPollTimer();
        }
    }
    // Two ticks: the status request, then its reply read.
    void pollTwice() { tick(2); }
    // Ticks the status poll at its own period on the real clock until done() holds, for a far
    // end on another thread or host: a tick sooner than its answer would post the next request
    // before the reply to the last was read, and no reply would ever count.
    bool pollInRealTime(const std::function<bool()>& done, ms deadline = ms{5000}) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        for (;;) {
            window->tmPollTimer();
            if (done()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            QTest::qWait(static_cast<int>(kPollPeriod.count()));
        }
    }
    // Plays what runs on the loop to its end: a service sequence or a block transfer, and the
    // exchanges the link has queued.
    void settle() {
        settleWhile([this] { return workRunning(); });
    }
    // Plays the loop on the test's clock for as long as running() says, as the window's loop
    // would: the clock moves in steps towards what is scheduled, the link and the events posted
    // meanwhile served at every step, duringPause too; with nothing scheduled an exchange waits
    // for its reply and only the link moves. A failure when nothing would ever end it: nothing
    // scheduled and the link still waiting after a minute of the test's clock.
    void settleWhile(const std::function<bool()>& running) {
        for (int idle = 0;;) {
            QCoreApplication::processEvents();
            if (!running()) return;
            if (!clock->pending()) {
                if (++idle * kStep > std::chrono::minutes(1)) {
                    ADD_FAILURE() << "the work waits for nothing that is scheduled";
                    return;
                }
                linkStep(kStep);
                continue;
            }
            clock->runNext(kStep, [&](ms taken) {
                driveLink(taken);
                if (duringPause) duringPause();
                QCoreApplication::processEvents();
                return running();
            });
        }
    }
    // One step of the test's clock with nothing run on it: the link's input looked at, its
    // timer ticked as the steps add up to 50 ms, and the events posted meanwhile.
    void linkStep(ms step = kStep) {
        clock->idle(step);
        driveLink(step);
        QCoreApplication::processEvents();
    }
    bool workRunning() {
        return window && (window->sequenceRunning() || window->setupPanel().transfer().running() ||
                          window->link().busy());
    }

    // --- the window's controls ---
    template <typename W = QWidget>
    W* find(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    QAction* item(const char* name) { return find<QAction>(name); }
    bool shown(const char* name) { return !find(name)->isHidden(); }
    QString text(const char* name) {
        auto* label = find<QLabel>(name);
        return label ? label->text() : QString();
    }
    QString tip(const char* name) { return find(name)->toolTip(); }
    // The click or the menu item, then what it started played to its end.
    void click(const char* name) {
        find<QAbstractButton>(name)->click();
        settle();
    }
    void choose(const char* name) {
        item(name)->trigger();
        settle();
    }
    // What the status bar's fields say.
    QString link() { return window->consoleStatusBar()->linkText(); }
    QString radio() { return window->consoleStatusBar()->radioText(); }
    QString event() { return window->consoleStatusBar()->eventText(); }
    // While a box is up, counts the status requests that go out under it (up to three, or five
    // seconds of the real clock, as the window's own poll timer runs): a box that held the
    // poll back would let none through.
    void countPollsUnderBoxes() {
        dialogs->whileShown = [this] {
            const std::size_t at = controller.commands(1).size();
            // Checked by the test through the count.
            (void)QTest::qWaitFor([&] { return controller.commands(1).size() >= at + 3; }, 5000);
            pollsUnderTheBox = controller.commands(1).size() - at;
        };
    }
    // The front panel's keys, all of them up or all of them hidden (under a function screen).
    bool frontKeysShown() { return frontKeys(true); }
    bool frontKeysHidden() { return frontKeys(false); }
    // On screen and active, so keys reach it and Tab moves its focus.
    void showActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // --- what assistive technology is told ---
    static QAccessibleInterface* accessible(QObject* o) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
        EXPECT_TRUE(a);
        return a;
    }
    static QString accessibleName(QObject* o) {
        QAccessibleInterface* a = accessible(o);
        return a ? a->text(QAccessible::Name) : QString();
    }
    // The names of everything assistive technology is told is on screen, the window down.
    QStringList shownToAssistiveTechnology() {
        QStringList names;
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            if (!node || node->state().invisible) return;
            names << node->text(QAccessible::Name);
            for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
        };
        walk(accessible(window.get()));
        return names;
    }
    // Everything assistive technology finds walking the window, shown or not.
    std::vector<QAccessibleInterface*> listedToAssistiveTechnology() {
        std::vector<QAccessibleInterface*> listed;
        std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* node) {
            if (!node) return;
            listed.push_back(node);
            for (int i = 0; i < node->childCount(); ++i) walk(node->child(i));
        };
        walk(accessible(window.get()));
        return listed;
    }
    // A menu item's caption as the operator reads it: its mnemonic's '&' only underlines.
    static QString caption(const QAction* item) {
        return QString(item->text()).remove(QLatin1Char('&'));
    }

    // --- what went out on the line ---
    std::size_t mark() const { return log.frames.size(); }
    // The contents of the frames with this command code written since the mark, in order.
    std::vector<Bytes> framesWith(std::uint8_t code, std::size_t from = 0) const {
        std::vector<Bytes> out;
        for (std::size_t i = from; i < log.frames.size(); ++i) {
            if (log.frames[i].code() == code) out.push_back(log.frames[i].content);
        }
        return out;
    }
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
        return std::chrono::duration_cast<ms>(b.at - a.at).count();
    }

    QTemporaryDir dir;
    FakeRigState rigServer;
    FakeSerialState wire;
    ScriptedController controller{wire};
    std::shared_ptr<FakeDialogs> dialogs = std::make_shared<FakeDialogs>();
    // The choices baseOptions() takes: who answers, and how the simulated controller is made.
    Far far = Far::Script;
    sim::ModelOptions simulated;
    // The simulated controller, once it answers.
    sim::SimulatedSerialBackend* simulator = nullptr;
    // The test's one clock: the timers of sequences and transfers, the simulated controller's
    // time and the frame log's.
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(std::chrono::hours(1));
    FrameLog log;
    std::size_t pollsUnderTheBox = 0;
    // Runs at every step of the clock while work plays on the loop.
    std::function<void()> duringPause;
    std::unique_ptr<FmMain> window;

  private:
    std::unique_ptr<SerialBackend> farEnd(Far answering, const sim::ModelOptions& options) {
        if (answering == Far::Script) return std::make_unique<FakeSerialBackend>(wire);
        auto sim = std::make_unique<sim::SimulatedSerialBackend>(
            options, [this] { return clock->time(); },
            [this](sim::TimePoint until) {
                if (until > clock->time())
                    clock->idle(std::chrono::ceil<ms>(until - clock->time()));
            });
        simulator = sim.get();
        return sim;
    }
    // The link's share of a step of the clock, as the window's loop drives it on the real one:
    // its input handed over, its 50 ms timer ticked as the steps add up to it.
    void driveLink(ms taken) {
        window->serviceLink();
        sinceLinkTick_ += taken;
        while (sinceLinkTick_ >= kLinkTick) {
            sinceLinkTick_ -= kLinkTick;
            window->tmTimerTimer();
        }
    }
    bool frontKeys(bool up) {
        for (const char* k : {"SpeedButton1", "SpeedButton8", "SpeedButton12", "Chiudi"}) {
            if (shown(k) != up) return false;
        }
        return true;
    }

    ms sinceLinkTick_{0};
};

// The window as the service functions' tests start it: the simulated controller answers unless
// a test asks for the script, sequences wait on the test's clock, and no radio is followed.
class ServiceWindowTest : public WindowFixture {
  protected:
    void start(Far answering = Far::Simulator) {
        writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
        far = answering;
        WindowFixture::start(transferOptions());
    }
    // Started, with the controller's frequency read.
    void startTuned() {
        start();
        pollTwice();
        ASSERT_NE(window->poll().CurrentFrequency(), 0u);
    }
};

}  // namespace kt6::testing
