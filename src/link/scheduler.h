#pragma once
// One-shot timers of the event loop the console runs on, so the core and the transfers can
// wait without holding that loop: the window gives its own, tests a fake clock. It lives in
// the lowest layer because memory/ waits on it too.
#include <chrono>
#include <functional>
#include <memory>

namespace kt6 {

// A timer that fires every interval until stopped: the link tick, the poll, the port retry.
// Precise: the poll's 400 ms is what the controller and the station's outputs are timed by.
class RepeatingTimer {
  public:
    virtual ~RepeatingTimer() = default;
    // (Re)starts the period from now.
    virtual void start(std::chrono::milliseconds interval) = 0;
    virtual void stop() = 0;
    virtual bool active() const = 0;
    virtual std::chrono::milliseconds interval() const = 0;
};
// Makes a stopped timer, named for those who look at the loop, that runs task at each period.
using MakeRepeatingTimer =
    std::function<std::unique_ptr<RepeatingTimer>(const char* name, std::function<void()> task)>;

class Scheduler {
  public:
    virtual ~Scheduler() = default;
    // Runs task once, delay from now, from the loop itself: never inside this call.
    virtual void after(std::chrono::milliseconds delay, std::function<void()> task) = 0;
};

}  // namespace kt6
