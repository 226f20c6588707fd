#pragma once
// A pump whose clock only moves when an exchange waits: every 50 ms of fake time it runs the
// link timer tick, plus whatever the test scheduled for that moment.
#include <chrono>
#include <functional>
#include <map>

#include "link/event_pump.h"
#include "link/link.h"

namespace kt6::testing {

class FakePump : public EventPump {
public:
    using ms = std::chrono::milliseconds;

    void attach(Link* link) { link_ = link; }
    // Runs action on the first processEvents at or after fake time `at`.
    void at(ms when, std::function<void()> action) { scheduled_.emplace(when, std::move(action)); }

    void processEvents() override {
        ++pumps;
        while (nextTick_ <= now_) {
            nextTick_ += kLinkTick;
            if (link_) link_->LinkTimerTick();
            if (onTick) onTick();
        }
        while (!scheduled_.empty() && scheduled_.begin()->first <= now_) {
            auto action = std::move(scheduled_.begin()->second);
            scheduled_.erase(scheduled_.begin());
            action();
        }
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
    ms now_{0};
    ms nextTick_{kLinkTick};
    std::multimap<ms, std::function<void()>> scheduled_;
};

}  // namespace kt6::testing
