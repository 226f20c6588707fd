#pragma once
// A loop on the wall clock for a real port: what the pseudo-terminal tests and the benches on
// any system's serial device drive the link with.
#include <chrono>

#include "link/comm32.h"
#include "support/queued_pump.h"

namespace kt6::testing {

// The console's event loop in miniature: the link timer ticks every 50 ms of steady-clock
// time (ticks missed while nobody pumped are dropped, as a toolkit timer drops them), and
// waiting for input waits on the port itself.
class RealTimePump : public QueuedPump {
  public:
    explicit RealTimePump(Comm32& port)
        : port_(port), nextTick_(std::chrono::steady_clock::now() + kLinkTick) {}

    void processEvents() override {
        runPosted();
        serviceInput();
        const auto now = std::chrono::steady_clock::now();
        if (now < nextTick_) return;
        nextTick_ += kLinkTick;
        if (nextTick_ <= now) nextTick_ = now + kLinkTick;
        ++ticks_;
        if (link_) link_->LinkTimerTick();
    }
    void waitForInput(std::chrono::milliseconds timeout) override { port_.WaitForInput(timeout); }
    int ticks() const { return ticks_; }

  private:
    Comm32& port_;
    std::chrono::steady_clock::time_point nextTick_;
    int ticks_ = 0;
};

}  // namespace kt6::testing
