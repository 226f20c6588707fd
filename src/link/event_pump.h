#pragma once
// How a waiting exchange keeps the window alive without the core knowing the toolkit.
#include <chrono>
#include <functional>

namespace kt6 {

class EventPump {
public:
    virtual ~EventPump() = default;
    // Runs pending events once (timer ticks, repaints); user input stays queued for later.
    virtual void processEvents() = 0;
    // Waits up to the given time, returning early when serial input arrives.
    virtual void waitForInput(std::chrono::milliseconds timeout) = 0;
    // Runs task from the event loop, after the handler running now has returned.
    virtual void post(std::function<void()> task) = 0;
};

}  // namespace kt6
