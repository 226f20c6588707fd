#pragma once
// A pump whose clock only moves when an exchange waits: every 50 ms of fake time it runs the
// link timer tick, plus whatever the test scheduled for that moment.
#include <chrono>
#include <functional>
#include <map>

#include "link/link.h"
#include "support/queued_pump.h"

namespace kt6::testing {

class FakePump : public QueuedPump {
public:
    using ms = std::chrono::milliseconds;

    void attach(Link* link) { link_ = link; }
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
    int pumps = 0;
    int waits = 0;
    std::function<bool()> inputWaiting;
    std::function<void()> onTick;

private:
    Link* link_ = nullptr;
    bool inTick_ = false;
    ms now_{0};
    ms nextTick_{kLinkTick};
    std::multimap<ms, std::function<void()>> scheduled_;
};

}  // namespace kt6::testing
