#pragma once
// The core's timers on the window's event loop, and the input block a running sequence keeps
// up: the window repaints and its timers tick while every click and key is dropped.
#include <QObject>
#include <QPointer>

#include "link/scheduler.h"

namespace kt6 {

// While it lives, the application's mouse, wheel, key and touch input is discarded and the
// cursor shows busy. Nests.
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

}  // namespace kt6
