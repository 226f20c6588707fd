#pragma once
// The tests' one fake clock: time moves only when a test (or a fake loop or port waiter on it)
// moves it, and what was scheduled on it runs at its moment as time passes. It is the
// Scheduler the core's timers run on (sequences, transfers, pulses) and the clock of what the
// test's world does meanwhile (a reply arriving, a device pulled out), so both keep one time.
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

#include "link/scheduler.h"

namespace kt6::testing {

class FakeClock : public Scheduler {
  public:
    using ms = std::chrono::milliseconds;
    using TimePoint = std::chrono::steady_clock::time_point;

    explicit FakeClock(ms start = ms{0}) : now_(start) {}

    ms now() const { return now_; }
    // The same moment as a steady-clock time point, for those that read one (the simulated
    // controller, a frame log).
    TimePoint time() const { return TimePoint{} + now_; }

    // Runs action once the clock reaches `when`; actions for one moment run in the order they
    // were scheduled, those scheduled for a past moment on the next move.
    void at(ms when, std::function<void()> action) { actions_.emplace(when, std::move(action)); }
    // A timer of the core's: task runs once the clock is delay past now.
    void after(ms delay, std::function<void()> task) override { at(now_ + delay, std::move(task)); }
    // Runs action at `first` and every `period` after it, for as long as the clock moves.
    void every(ms first, ms period, std::function<void()> action) {
        at(first, [this, first, period, action] {
            action();
            every(first + period, period, action);
        });
    }
    // True while something is scheduled.
    bool pending() const { return !actions_.empty(); }
    // The earliest moment something is scheduled for.
    std::optional<ms> nextAction() const {
        if (actions_.empty()) return std::nullopt;
        return actions_.begin()->first;
    }

    // Moves to `when`, stopping at every scheduled moment on the way to run what falls due.
    void runUntil(ms when) {
        while (!actions_.empty() && actions_.begin()->first <= when) runFirst();
        now_ = std::max(now_, when);
    }
    void advance(ms by) { runUntil(now_ + by); }
    // Time passes with nothing run (an exchange waiting for its reply, a poll period).
    void idle(ms by) { now_ += by; }

    // Moves towards the earliest scheduled moment in steps of at most step, calling eachStep
    // with every step taken, then runs whatever is due: what a test looks at during a wait,
    // step by step. False when nothing is scheduled, or when eachStep says to stop (the clock
    // stays where it got to).
    bool runNext(ms step, const std::function<bool(ms)>& eachStep = {}) {
        if (actions_.empty()) return false;
        const ms due = actions_.begin()->first;
        while (now_ < due) {
            const ms taken = std::min(step, due - now_);
            now_ += taken;
            if (eachStep && !eachStep(taken)) return false;
        }
        while (!actions_.empty() && actions_.begin()->first <= now_) runFirst();
        return true;
    }
    // Runs the earliest action alone, the clock moved on to it: one turn of the loop, where
    // runNext also runs what that action scheduled for the same moment. False when nothing is
    // scheduled.
    bool runOne() {
        if (actions_.empty()) return false;
        runFirst();
        return true;
    }

  private:
    void runFirst() {
        const auto first = actions_.begin();
        now_ = std::max(now_, first->first);
        auto action = std::move(first->second);
        actions_.erase(first);
        action();
    }

    ms now_;
    std::multimap<ms, std::function<void()>> actions_;
};

}  // namespace kt6::testing
