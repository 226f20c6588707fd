#include "console/qt_scheduler.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QTimer>
#include <memory>

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

namespace {

class QtRepeatingTimer : public RepeatingTimer {
  public:
    QtRepeatingTimer(const char* name, std::function<void()> task) {
        timer_.setObjectName(QString::fromLatin1(name));
        // A coarse timer drifts by up to 5% of its period: the poll's first periods after a
        // start came 380 ms apart.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(task));
    }
    void start(std::chrono::milliseconds interval) override { timer_.start(interval); }
    void stop() override { timer_.stop(); }
    bool active() const override { return timer_.isActive(); }
    std::chrono::milliseconds interval() const override { return timer_.intervalAsDuration(); }

  private:
    QTimer timer_;
};

}  // namespace

std::unique_ptr<RepeatingTimer> makeQtTimer(const char* name, std::function<void()> task) {
    return std::make_unique<QtRepeatingTimer>(name, std::move(task));
}

void QtScheduler::after(std::chrono::milliseconds delay, std::function<void()> task) {
    if (!context_) return;
    // Precise: a sequence's 333 ms gaps between keys are part of what the controller expects.
    QTimer::singleShot(delay, Qt::PreciseTimer, context_.data(), std::move(task));
}

}  // namespace kt6
