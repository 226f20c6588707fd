#include "support/real_time_pump.h"

namespace kt6::testing {

RealTimePump::RealTimePump(Comm32& port)
    : port_(port), nextTick_(std::chrono::steady_clock::now() + kLinkTick) {}

void RealTimePump::processEvents() {
    runPosted();
    serviceInput();
    const auto now = std::chrono::steady_clock::now();
    if (now < nextTick_) return;
    nextTick_ += kLinkTick;
    if (nextTick_ <= now) nextTick_ = now + kLinkTick;
    ++ticks_;
    if (link_) link_->LinkTimerTick();
}

void RealTimePump::waitForInput(std::chrono::milliseconds timeout) {
    port_.WaitForInput(timeout);
}

}  // namespace kt6::testing
