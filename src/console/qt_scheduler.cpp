#include "console/qt_scheduler.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>

namespace kt6 {

namespace {
bool isUserInput(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
    }
}
}  // namespace

InputBlock::InputBlock() {
    QCoreApplication::instance()->installEventFilter(this);
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

InputBlock::~InputBlock() {
    QApplication::restoreOverrideCursor();
    QCoreApplication::instance()->removeEventFilter(this);
}

bool InputBlock::eventFilter(QObject*, QEvent* event) {
    return isUserInput(event->type());
}

void QtScheduler::after(std::chrono::milliseconds delay, std::function<void()> task) {
    if (!context_) return;
    // Precise: a sequence's 333 ms gaps between keys are part of what the controller expects.
    QTimer::singleShot(delay, Qt::PreciseTimer, context_.data(), std::move(task));
}

}  // namespace kt6
