#include "console/qt_scheduler.h"

#include <QTimer>
#include <memory>

namespace kt6 {

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
