#pragma once
// The window's link on a test's clock: the port's input handed over at every step the clock
// takes, the 50 ms link timer ticked as the steps add up to it, as the window's loop drives
// them on the real clock.
#include <chrono>
#include <functional>
#include <utility>

namespace kt6::testing {

class LinkStepper {
  public:
    using ms = std::chrono::milliseconds;
    static constexpr ms kTick{50};

    LinkStepper(std::function<void()> serviceInput, std::function<void()> tick)
        : serviceInput_(std::move(serviceInput)), tick_(std::move(tick)) {}

    void step(ms taken) {
        serviceInput_();
        sinceTick_ += taken;
        while (sinceTick_ >= kTick) {
            sinceTick_ -= kTick;
            tick_();
        }
    }

  private:
    std::function<void()> serviceInput_;
    std::function<void()> tick_;
    ms sinceTick_{0};
};

}  // namespace kt6::testing
