#pragma once
// The core's timers on the window's event loop, and the input block a running sequence keeps
// up: the window repaints and its timers tick while every click and key is dropped before it
// reaches a control.
#include <QObject>
#include <QPointer>
#include <memory>

#include "link/scheduler.h"

namespace kt6 {

// While it lives, no control of the application gets mouse, wheel, key or touch input, and the
// cursor shows busy. Nests. Keys still reach the windows themselves, where assistive
// technology listens for them: a screen reader's own commands work during a wait.
class InputBlock : public QObject {
  public:
    InputBlock();
    ~InputBlock() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

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
