#pragma once
// The core's timers on a test's clock: nothing runs until the test moves time on, in steps,
// so that what happens during a wait can be looked at, step by step.
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>

#include "link/scheduler.h"

namespace kt6::testing {

class FakeScheduler : public Scheduler {
  public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using ms = std::chrono::milliseconds;

    // The clock is the test's own, shared with what else it drives (a simulated controller).
    explicit FakeScheduler(TimePoint& now) : now_(now) {}

    void after(ms delay, std::function<void()> task) override {
        tasks_.emplace(now_ + delay, std::move(task));
    }
    bool pending() const { return !tasks_.empty(); }

    // Moves the clock towards the earliest task in steps of at most step, calling eachStep
    // with every step taken, then runs whatever is due; false when nothing is scheduled, or
    // when eachStep says to stop (the clock stays where it got to).
    bool runNext(ms step, const std::function<bool(ms)>& eachStep = {}) {
        if (tasks_.empty()) return false;
        const TimePoint due = tasks_.begin()->first;
        while (now_ < due) {
            const auto taken = std::min<ms>(step, std::chrono::duration_cast<ms>(due - now_));
            now_ += taken;
            if (eachStep && !eachStep(taken)) return false;
        }
        while (!tasks_.empty() && tasks_.begin()->first <= now_) {
            auto task = std::move(tasks_.begin()->second);
            tasks_.erase(tasks_.begin());
            task();
        }
        return true;
    }

    // Time passes with nothing scheduled in it (an exchange waiting for its reply).
    void idle(ms by) { now_ += by; }
    // Runs the earliest task alone, the clock moved on to it: one turn of the loop, where
    // runNext also runs what that task scheduled for the same moment. False when nothing is
    // scheduled.
    bool runOne() {
        if (tasks_.empty()) return false;
        const auto first = tasks_.begin();
        now_ = std::max(now_, first->first);
        auto task = std::move(first->second);
        tasks_.erase(first);
        task();
        return true;
    }

  private:
    TimePoint& now_;
    std::multimap<TimePoint, std::function<void()>> tasks_;
};

}  // namespace kt6::testing
