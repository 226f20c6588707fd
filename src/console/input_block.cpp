#include "console/input_block.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>

namespace kt6 {

namespace {
bool isKey(QEvent::Type type) {
    return type == QEvent::KeyPress || type == QEvent::KeyRelease;
}

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

bool InputBlock::eventFilter(QObject* watched, QEvent* event) {
    // A key comes to the window first and then goes on to the control with the focus. The
    // accessibility bridge hears it at the window, through a filter of its own on the
    // application that this one, installed later, runs before: so the key passes there and is
    // dropped only at the control. A shortcut is offered to the control first, which takes it
    // here (ShortcutOverride), so its key too comes to the window and no further.
    if (isKey(event->type()) && !watched->isWidgetType()) return false;
    return isUserInput(event->type());
}

}  // namespace kt6
