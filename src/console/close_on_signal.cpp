// The window's close on a termination signal, the same on every system: the systems' files
// only tell when to stop.
#include <QVariant>
#include <QWidget>

#include "console/close_on_signal.h"

namespace kt6 {

void closeOnTerminationSignals(QWidget* window) {
    stopOnTerminationSignals(window, [window] {
        if (!window->property(kClosingOnSignal).toBool()) {
            window->setProperty(kClosingOnSignal, true);
            window->close();
        }
    });
}

}  // namespace kt6
