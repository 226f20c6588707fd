#pragma once
// The console window on a scripted controller and a fake rig server, with its boxes answered
// by the test: the common ground of the window tests.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "console/setup_panel.h"
#include "support/fake_dialogs.h"
#include "support/fake_rig_server.h"
#include "support/fake_scheduler.h"
#include "support/fake_serial.h"
#include "support/loop_settle.h"
#include "support/scripted_controller.h"

namespace kt6::testing {

using AnsweringDialogs = FakeDialogs;

class WindowFixture : public ::testing::Test {
  protected:
    WindowFixture() {
        wire.realTimeWaits = true;
        controller.record.firmwareMinor = 13;
        controller.record.firmwareMajor = 1;
        controller.record.frequency = 7157;
        controller.record.band = 10;
        controller.record.drivers = 3;
    }

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
    ConsoleOptions baseOptions() {
        ConsoleOptions options;
        options.settingsPath = settingsPath();
        options.documentsDir = dir.path().toStdString();
        options.makeSerialBackend = [this] { return std::make_unique<FakeSerialBackend>(wire); };
        options.dialogs = dialogs;
        options.makeRigServer = [this] { return std::make_unique<FakeRigServer>(rigServer); };
        options.runPollTimer = false;
        return options;
    }
    void start(ConsoleOptions options) {
        window = std::make_unique<FmMain>(std::move(options));
        window->FormActivate();
    }
    void start() { start(baseOptions()); }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) window->tmPollTimer();
    }
    // Options whose block transfers wait on the test's scheduler.
    ConsoleOptions transferOptions() {
        ConsoleOptions options = baseOptions();
        options.scheduler = scheduler;
        return options;
    }
    // Lets the link finish what it was asked for: its replies read, its timer ticking, on
    // the test's clock.
    void settleLink() {
        for (int i = 0; i < 1000 && window && window->link().busy(); ++i) {
            scheduler->idle(std::chrono::milliseconds(10));
            link.step(std::chrono::milliseconds(10));
            QCoreApplication::processEvents();
        }
    }
    // While a box is up, counts the status requests that go out under it (up to three, or
    // five seconds): a box that held the poll back would let none through.
    void countPollsUnderBoxes() {
        dialogs->whileShown = [this] {
            const std::size_t at = controller.commands(1).size();
            // Checked by the test through the count.
            (void)QTest::qWaitFor([&] { return controller.commands(1).size() >= at + 3; }, 5000);
            pollsUnderTheBox = controller.commands(1).size() - at;
        };
    }
    std::size_t pollsUnderTheBox = 0;
    // Plays the block transfer under way to its end, boxes and dialogs included.
    void settleTransfer() {
        settleOnLoop(*scheduler, link,
                     [this] { return window && window->setupPanel().transfer().running(); });
    }
    template <typename W = QWidget>
    W* find(const char* name) {
        auto* w = window->findChild<W*>(QString::fromLatin1(name));
        EXPECT_TRUE(w) << name;
        return w;
    }
    bool shown(const char* name) { return !find(name)->isHidden(); }
    QString text(const char* name) { return find<QLabel>(name)->text(); }
    QString tip(const char* name) { return find(name)->toolTip(); }
    // On screen and active, so keys reach it and Tab moves its focus.
    void showActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    // What assistive technology is told of a control.
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

    QTemporaryDir dir;
    FakeRigState rigServer;
    FakeSerialState wire;
    ScriptedController controller{wire};
    std::shared_ptr<AnsweringDialogs> dialogs = std::make_shared<AnsweringDialogs>();
    // The clock of the transfers' timers; nothing else in these tests reads it.
    std::chrono::steady_clock::time_point schedulerNow{};
    std::shared_ptr<FakeScheduler> scheduler = std::make_shared<FakeScheduler>(schedulerNow);
    LinkStepper link{[this] { window->serviceLink(); }, [this] { window->tmTimerTimer(); }};
    std::unique_ptr<FmMain> window;
};

}  // namespace kt6::testing
