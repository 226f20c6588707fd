#pragma once
// The window's loop on the fake clock: at every turn it ticks the link timer for each 50 ms of
// the clock's time gone by, runs what fell due on the clock and the work posted to it, and
// hands the port's input to the link; it waits for input as an exchange that waits on the port
// itself does, through the one port waiter.
#include <chrono>
#include <functional>

#include "link/link.h"
#include "support/fake_clock.h"
#include "support/fake_port_waiter.h"
#include "support/queued_pump.h"

namespace kt6::testing {

class FakePump : public QueuedPump {
  public:
    using ms = std::chrono::milliseconds;

    explicit FakePump(FakeClock& clock)
        : clock_(clock),
          waiter_(clock, [this] { return inputWaiting && inputWaiting(); }),
          nextTick_(clock.now() + kLinkTick) {}

    void processEvents() override {
        ++pumps;
        // A toolkit timer never fires again inside its own handler.
        while (!inTick_ && nextTick_ <= clock_.now()) {
            nextTick_ += kLinkTick;
            inTick_ = true;
            if (link_) link_->LinkTimerTick();
            if (onTick) onTick();
            inTick_ = false;
        }
        clock_.runUntil(clock_.now());
        runPosted();
        serviceInput();
    }
    void waitForInput(ms timeout) override {
        ++waits;
        waiter_.waitForInput(timeout);
    }
    // Moves the clock on as an idle event loop would, then takes one turn: the link timer's
    // ticks first, then what fell due.
    void advance(ms by) {
        clock_.idle(by);
        processEvents();
    }
    // The wait of the blocking exchanges (command-line tools' transfers) on the same clock
    // and the same input.
    PortWaiter& waiter() { return waiter_; }

    int pumps = 0;
    int waits = 0;
    std::function<bool()> inputWaiting;
    std::function<void()> onTick;

  private:
    FakeClock& clock_;
    FakePortWaiter waiter_;
    bool inTick_ = false;
    ms nextTick_;
};

}  // namespace kt6::testing
