#include "console/qt_pauser.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QThread>
#include <algorithm>

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

void InputBlock::dropPendingInput() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool InputBlock::eventFilter(QObject*, QEvent* event) {
    return isUserInput(event->type());
}

QtPauser::QtPauser(Link& link, Clock clock) : link_(link), clock_(std::move(clock)) {
    if (!clock_.now) clock_.now = [] { return std::chrono::steady_clock::now(); };
    if (!clock_.sleep) {
        clock_.sleep = [](std::chrono::milliseconds d) {
            QThread::msleep(static_cast<unsigned long>(d.count()));
        };
    }
}

void QtPauser::pause(std::chrono::milliseconds duration) {
    // A pause is a wait of the sequence holding the link: nothing else may send meanwhile.
    Link::Wait wait(link_);
    InputBlock block;
    const TimePoint end = clock_.now() + duration;
    for (;;) {
        // Repaints and timer ticks run; the poll finds the link held and sends nothing.
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        if (link_.isShutDown()) return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - clock_.now());
        if (left.count() <= 0) return;
        clock_.sleep(std::min(left, kStep));
    }
}

}  // namespace kt6
