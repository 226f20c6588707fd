#pragma once
// Plays a service sequence without holding the event loop: each step starts when the one
// before it is done, pauses are timers, and starting returns at once.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "link/scheduler.h"
#include "core/service_sequences.h"

namespace kt6 {

class StepPlayer {
  public:
    explicit StepPlayer(Scheduler& scheduler) : scheduler_(scheduler) {}
    StepPlayer(const StepPlayer&) = delete;
    StepPlayer& operator=(const StepPlayer&) = delete;

    // Starts the steps on actions and returns; done runs after the last one (and may start
    // another sequence). False, and nothing played, while a sequence plays.
    bool play(std::span<const ServiceStep> steps, ServiceActions& actions,
              std::function<void()> done = {});
    bool busy() const { return busy_; }
    // Ends the sequence where it stands: no further step runs and its done is dropped.
    void cancel();

  private:
    void advance();
    void runStep();
    void startPause(std::chrono::milliseconds duration);
    void finish();
    std::function<void()> resumer();

    Scheduler& scheduler_;
    std::vector<ServiceStep> steps_;
    std::size_t next_ = 0;
    ServiceActions* actions_ = nullptr;
    std::function<void()> done_;
    bool busy_ = false;
    bool pausing_ = false;
    // Steps that finish inside the call that started them are looped, not recursed into.
    bool stepping_ = false;
    bool again_ = false;
    // Tells a late callback of an ended or cancelled sequence from one of the current one.
    std::uint64_t generation_ = 0;
};

}  // namespace kt6
