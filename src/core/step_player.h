#pragma once
// Plays a service sequence without holding the event loop: its table of keys, pauses and
// screens becomes steps of a StepRunner, so starting returns at once and each key waits for
// the controller's answer.
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/service_sequences.h"
#include "link/scheduler.h"
#include "link/step_runner.h"

namespace kt6 {

class StepPlayer {
  public:
    explicit StepPlayer(Scheduler& scheduler) : runner_(scheduler) {}
    StepPlayer(const StepPlayer&) = delete;
    StepPlayer& operator=(const StepPlayer&) = delete;

    // Starts the steps on actions and returns; done runs after the last one (and may start
    // another sequence). False, and nothing played, while a sequence plays.
    bool play(std::span<const ServiceStep> steps, ServiceActions& actions,
              std::function<void()> done = {});
    bool busy() const { return runner_.busy(); }
    // Ends the sequence where it stands: no further step runs and its done is dropped.
    void cancel();

  private:
    StepRunner::Step step(const ServiceStep& s, ServiceActions& a);
    StepRunner::Step pause(std::function<std::chrono::milliseconds()> duration, ServiceActions& a);

    StepRunner runner_;
    ServiceActions* actions_ = nullptr;
    bool pausing_ = false;
    // Tells the timer of the pause under way from one of a cancelled sequence.
    std::uint64_t pauseId_ = 0;
};

}  // namespace kt6
