#pragma once
// Closes a window, as its close box does, when the process is asked to stop (SIGTERM, SIGINT;
// on Windows a console's Ctrl+C, Ctrl+Break or close, a logoff or a shutdown), so a logout or
// a service manager loses no settings. One file per system: close_on_signal_posix.cpp,
// close_on_signal_win32.cpp.
#include <functional>

class QObject;
class QWidget;

namespace kt6 {

// Set on the window while a signal closes it: nobody is there to answer a box, so what the
// close has to say goes to stderr.
inline constexpr char kClosingOnSignal[] = "kt6ClosingOnSignal";

// Installs the handlers; the window is closed from its own event loop, never from the signal,
// and the process then ends even if a box was up.
void closeOnTerminationSignals(QWidget* window);
// The same for a console without a window: stop runs from context's loop, which then ends.
void stopOnTerminationSignals(QObject* context, std::function<void()> stop);

}  // namespace kt6
