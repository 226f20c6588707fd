#pragma once
// A clock that moves only when a test moves it, running the actions scheduled for the moments
// it passes: time for the exchange engine, the command queue and exchanges that wait on the
// port themselves.
#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>

namespace kt6::testing {

class FakeClock {
  public:
    using ms = std::chrono::milliseconds;

    ms now() const { return now_; }
    // Runs action once the clock reaches `when`; actions for one moment run in the order they
    // were scheduled, those scheduled for a past moment on the next move.
    void at(ms when, std::function<void()> action) { actions_.emplace(when, std::move(action)); }
    // Runs action at `first` and every `period` after it, for as long as the clock moves.
    void every(ms first, ms period, std::function<void()> action) {
        at(first, [this, first, period, action] {
            action();
            every(first + period, period, action);
        });
    }
    // Moves to `when`, stopping at every scheduled moment on the way to run what falls due.
    void runUntil(ms when) {
        while (!actions_.empty() && actions_.begin()->first <= when) {
            auto next = actions_.begin();
            now_ = std::max(now_, next->first);
            auto action = std::move(next->second);
            actions_.erase(next);
            action();
        }
        now_ = std::max(now_, when);
    }
    void advance(ms by) { runUntil(now_ + by); }
    // The earliest moment something is scheduled for.
    std::optional<ms> nextAction() const {
        if (actions_.empty()) return std::nullopt;
        return actions_.begin()->first;
    }

  private:
    ms now_{0};
    std::multimap<ms, std::function<void()>> actions_;
};

}  // namespace kt6::testing
