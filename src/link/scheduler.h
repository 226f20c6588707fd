#pragma once
// One-shot timers of the event loop the console runs on, so the core and the transfers can
// wait without holding that loop: the window gives its own, tests a fake clock. It lives in
// the lowest layer because memory/ waits on it too.
#include <chrono>
#include <functional>

namespace kt6 {

class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // Runs task once, delay from now, from the loop itself: never inside this call.
    virtual void after(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

}  // namespace kt6
