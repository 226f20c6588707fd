#include "console/qt_event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>

namespace kt6 {

void QtEventPump::processEvents() {
    // Clicks and keys stay queued and reach the window after the exchange, not inside it.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtEventPump::waitForInput(std::chrono::milliseconds timeout) { port_.WaitForInput(timeout); }

void QtEventPump::post(std::function<void()> task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

}  // namespace kt6
