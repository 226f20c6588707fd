#pragma once
// The service sequences' pauses in the window: time passes on the pauser's clock while the
// window repaints and its timers tick, under a busy cursor, and every click and key that
// arrives meanwhile is dropped, not kept for afterwards.
#include <QObject>
#include <chrono>
#include <functional>

#include "link/link.h"
#include "link/pauser.h"

namespace kt6 {

// While it lives, the application's mouse, wheel, key and touch input is discarded and the
// cursor shows busy. Nests.
class InputBlock : public QObject {
  public:
    InputBlock();
    ~InputBlock() override;
    // Delivers the events queued so far, input included, so that input which waited for an
    // exchange to end is dropped here rather than acted on later.
    void dropPendingInput();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

class QtPauser : public Pauser {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    // The real clock unless a test gives its own; sleep is asked for at most one step at a time.
    struct Clock {
        std::function<TimePoint()> now;
        std::function<void(std::chrono::milliseconds)> sleep;
    };
    static constexpr std::chrono::milliseconds kStep{10};

    explicit QtPauser(Link& link, Clock clock = {});
    void pause(std::chrono::milliseconds duration) override;

  private:
    Link& link_;
    Clock clock_;
};

}  // namespace kt6
