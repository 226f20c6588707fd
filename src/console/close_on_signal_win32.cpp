// Windows has no termination signals; a console's Ctrl+C, Ctrl+Break and its close box, a
// logoff and a shutdown arrive as console control events, on a thread of their own.
#include <windows.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "console/close_on_signal.h"

namespace kt6 {

namespace {

// For a close, logoff or shutdown Windows ends the process as soon as the handler returns (and
// at the latest after about five seconds): the handler waits for the stop to be done, within
// that limit, so the settings are written first.
constexpr std::chrono::milliseconds kStopWait{4000};

struct Stopper {
    std::mutex mutex;
    std::condition_variable stopped;
    QPointer<QObject> context;
    std::function<void()> stop;
    bool asked = false;
    bool done = false;
};

Stopper& stopper() {
    // Lives for the process: the handler thread may still run while statics are destroyed.
    static auto* state = new Stopper;
    return *state;
}

void runStop() {
    Stopper& s = stopper();
    std::function<void()> stop;
    {
        const std::lock_guard lock(s.mutex);
        stop = s.stop;
    }
    if (stop) stop();
    {
        const std::lock_guard lock(s.mutex);
        s.done = true;
    }
    s.stopped.notify_all();
    // A box that was up runs a loop of its own and would keep the process alive for nobody.
    QCoreApplication::exit(0);
}

BOOL WINAPI onConsoleEvent(DWORD event) {
    Stopper& s = stopper();
    std::unique_lock lock(s.mutex);
    if (!s.context) return FALSE;
    if (!s.asked) {
        s.asked = true;
        // Queued onto the context's own thread: the window is only ever touched from its loop.
        QMetaObject::invokeMethod(s.context.data(), &runStop, Qt::QueuedConnection);
    }
    const bool ending =
        event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (ending) s.stopped.wait_for(lock, kStopWait, [&s] { return s.done; });
    return TRUE;
}

}  // namespace

void stopOnTerminationSignals(QObject* context, std::function<void()> stop) {
    Stopper& s = stopper();
    {
        const std::lock_guard lock(s.mutex);
        s.context = context;
        s.stop = std::move(stop);
    }
    ::SetConsoleCtrlHandler(&onConsoleEvent, TRUE);
}

}  // namespace kt6
