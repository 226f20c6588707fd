#pragma once
// The wait of an exchange that waits on the port itself, on a fake clock: a wait runs the
// clock on until input is waiting or its time is up, so what the test scheduled meanwhile
// (a reply arriving) happens at its moment.
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
            const auto next = clock_.nextAction();
            clock_.runUntil(next && *next < until ? *next : until);
        }
    }

    int waits = 0;

  private:
    FakeClock& clock_;
    std::function<bool()> inputWaiting_;
};

}  // namespace kt6::testing
