#pragma once
// The window's loop on a fake clock that only moves when the loop waits: every 50 ms of fake
// time it runs the link timer tick, plus whatever the test scheduled for that moment, and it
// hands the port's input to the link on every turn.
#include <chrono>
#include <functional>
#include <map>

#include "link/link.h"
#include "support/queued_pump.h"

namespace kt6::testing {

class FakePump : public QueuedPump {
  public:
    using ms = std::chrono::milliseconds;

    // Runs action on the first processEvents at or after fake time `at`.
    void at(ms when, std::function<void()> action) { scheduled_.emplace(when, std::move(action)); }

    void processEvents() override {
        ++pumps;
        // A toolkit timer never fires again inside its own handler.
        while (!inTick_ && nextTick_ <= now_) {
            nextTick_ += kLinkTick;
            inTick_ = true;
            if (link_) link_->LinkTimerTick();
            if (onTick) onTick();
            inTick_ = false;
        }
        while (!scheduled_.empty() && scheduled_.begin()->first <= now_) {
            auto action = std::move(scheduled_.begin()->second);
            scheduled_.erase(scheduled_.begin());
            action();
        }
        runPosted();
        serviceInput();
    }
    void waitForInput(ms timeout) override {
        ++waits;
        if (inputWaiting && inputWaiting()) return;
        now_ += timeout;
    }
    // Moves fake time on as an idle event loop would, ticking the link timer.
    void advance(ms by) {
        now_ += by;
        processEvents();
    }

    ms now() const { return now_; }
    // Moves fake time on a millisecond at a time, up to timeout, until input is waiting; no
    // timer runs (an exchange that waits on the port itself).
    void waitOnPort(ms timeout) {
        for (ms waited{0}; waited < timeout && !(inputWaiting && inputWaiting()); ++waited) {
            now_ += ms(1);
        }
    }
    int pumps = 0;
    int waits = 0;
    std::function<bool()> inputWaiting;
    std::function<void()> onTick;

  private:
    bool inTick_ = false;
    ms now_{0};
    ms nextTick_{kLinkTick};
    std::multimap<ms, std::function<void()>> scheduled_;
};

// The wait of an exchange that waits on the port itself, on the pump's clock: the blocking
// forms of the transfers, as command-line tools run them.
class FakePumpWaiter : public PortWaiter {
  public:
    explicit FakePumpWaiter(FakePump& pump) : pump_(pump) {}
    LinkTime now() override { return pump_.now(); }
    void waitForInput(std::chrono::milliseconds timeout) override { pump_.waitOnPort(timeout); }

  private:
    FakePump& pump_;
};

}  // namespace kt6::testing
