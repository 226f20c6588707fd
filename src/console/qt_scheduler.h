#pragma once
// The core's timers on the event loop, the window's or the console's without one (no widgets
// here: the input block a running sequence keeps up is console/input_block.h).
#include <QObject>
#include <QPointer>
#include <memory>

#include "link/scheduler.h"

namespace kt6 {

// Timers of the window's loop; a task whose context is gone never runs.
class QtScheduler : public Scheduler {
  public:
    explicit QtScheduler(QObject* context) : context_(context) {}
    void after(std::chrono::milliseconds delay, std::function<void()> task) override;

  private:
    QPointer<QObject> context_;
};

// The core's repeating timers as precise timers of the window's loop.
std::unique_ptr<RepeatingTimer> makeQtTimer(const char* name, std::function<void()> task);

}  // namespace kt6
