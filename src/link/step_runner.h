#pragma once
// Runs a list of steps on an event loop without holding it: each step starts when the one
// before it said it was done, whenever that is (a reply, a timer), and the call that starts
// the run returns at once. Service sequences and block transfers are both played on it.
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "link/scheduler.h"

namespace kt6 {

class StepRunner {
  public:
    // A step's end: true goes on to the next step, false ends the run there.
    using Next = std::function<void(bool goOn)>;
    // One step: does its work and calls next exactly once, now or later.
    using Step = std::function<void(Next next)>;
    enum class End { Finished, Stopped };

    explicit StepRunner(Scheduler& scheduler) : scheduler_(scheduler) {}
    ~StepRunner() { cancel(); }
    StepRunner(const StepRunner&) = delete;
    StepRunner& operator=(const StepRunner&) = delete;

    // Starts the steps and returns; done runs after the last one (or the one that stopped the
    // run) and may start another run. A step that ends inside its own call leads straight to
    // the next, looped rather than nested. False, and nothing started, while a run is busy.
    bool run(std::vector<Step> steps, std::function<void(End)> done = {});
    bool busy() const { return busy_; }
    // Ends the run where it stands: no further step runs, a late next of it does nothing and
    // its done is dropped. Safe from inside a step.
    void cancel();

    // A step that waits this long on the scheduler's timers.
    Step pause(std::chrono::milliseconds duration);
    // A step that lets the loop turn once before the next (a block per turn).
    Step turn() { return pause(std::chrono::milliseconds(0)); }
    Scheduler& scheduler() { return scheduler_; }

  private:
    void advance();
    void finish(End end);

    Scheduler& scheduler_;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    std::function<void(End)> done_;
    bool busy_ = false;
    bool stepping_ = false;
    bool again_ = false;
    // Tells a late next of an ended or cancelled run from one of the current run.
    std::uint64_t generation_ = 0;
};

}  // namespace kt6
