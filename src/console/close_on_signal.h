#pragma once
// Closes a window, as its close box does, when the process is asked to stop (SIGTERM,
// SIGINT), so a logout or a service manager loses no settings.
class QWidget;

namespace kt6 {

// Installs the handlers; the window is closed from its own event loop, never from the signal.
void closeOnTerminationSignals(QWidget* window);

}  // namespace kt6
