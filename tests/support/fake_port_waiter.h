#pragma once
// The wait of an exchange that waits on the port itself, on the fake clock: time runs on a
// millisecond at a time, what falls due meanwhile running at its moment, until input is waiting
// or the time is up. Input may come from something scheduled (a reply arriving) or from time
// alone (a simulated controller's reply coming due), and the wait ends on the millisecond.
#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

#include "link/link.h"
#include "support/fake_clock.h"

namespace kt6::testing {

class FakePortWaiter : public PortWaiter {
  public:
    FakePortWaiter(FakeClock& clock, std::function<bool()> inputWaiting)
        : clock_(clock), inputWaiting_(std::move(inputWaiting)) {}

    LinkTime now() override { return clock_.now(); }
    void waitForInput(std::chrono::milliseconds timeout) override {
        ++waits;
        const auto until = clock_.now() + timeout;
        while (!inputWaiting_() && clock_.now() < until) {
            clock_.runUntil(std::min(clock_.now() + std::chrono::milliseconds(1), until));
        }
    }

    int waits = 0;

  private:
    FakeClock& clock_;
    std::function<bool()> inputWaiting_;
};

}  // namespace kt6::testing
