#pragma once
// A block transfer played on a scheduler's timers: the preamble's pauses are timers and every
// block is one turn of the loop, so whatever runs the loop (the window, a test's clock) stays
// served between blocks. The blocking forms of the transfers play the same walk with a
// PausingScheduler, whose timers are the transfer's own pauses.
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "link/scheduler.h"
#include "link/step_runner.h"
#include "memory/block_transfer.h"

namespace kt6 {

// Blocks done so far out of all the walk moves.
using TransferProgress = std::function<void(int done, int total)>;

// How a walk ended: every block step ran, one of them ended it, or the link was shut down
// (the window closing) before it got to the end.
enum class TransferEnd { Finished, Stopped, Abandoned };

class TransferRun {
  public:
    // Told by a step when its exchange is over: false ends the walk after it.
    using StepDone = std::function<void(bool goOn)>;
    // One block's exchange; it tells its done once, whenever the reply has come.
    using BlockStep = std::function<void(StepDone)>;
    using Done = std::function<void(TransferEnd)>;

    TransferRun(BlockTransfer& transfer, Scheduler& scheduler);
    ~TransferRun();
    TransferRun(const TransferRun&) = delete;
    TransferRun& operator=(const TransferRun&) = delete;

    BlockTransfer& transfer() { return transfer_; }

    // Starts the walk and returns at once: the preamble when asked (exchanges on, the settle
    // pause, the drain, the status request), then one step per turn of the scheduler's loop.
    // progress(0, steps) is told here and progress(n, steps) after each step. done runs in the
    // walk's last turn, never inside this call. The link is held from here to the end: other
    // commands wait, none goes out between the walk's own. False, and nothing started, while a
    // walk runs.
    bool start(bool preamble, std::vector<BlockStep> steps, const TransferProgress& progress,
               Done done);
    bool busy() const { return runner_.busy(); }
    // Ends the walk where it stands and lets the link go; no further step runs and done is
    // dropped. Safe from inside a step's exchange.
    void cancel();

  private:
    // The drain: a stale byte dropped, then a pause for any still on its way, until none.
    void drain(StepRunner::Next next);
    // False, with the walk ended as abandoned, when the link was shut down meanwhile.
    bool stillWanted();

    BlockTransfer& transfer_;
    StepRunner runner_;
    Done done_;
    std::optional<Link::Hold> hold_;
    // Tells a drain timer of the walk under way from one of a walk that ended.
    std::uint64_t walk_ = 0;
};

// A scheduler for the blocking forms: plays its timers in order on the calling thread, each
// delay spent in the given pause (a zero delay in none).
class PausingScheduler : public Scheduler {
  public:
    explicit PausingScheduler(BlockTransfer::Pause pause) : pause_(std::move(pause)) {}
    void after(std::chrono::milliseconds delay, std::function<void()> task) override;
    // Runs until no timer is left.
    void run();

  private:
    BlockTransfer::Pause pause_;
    std::chrono::milliseconds now_{0};
    std::multimap<std::chrono::milliseconds, std::function<void()>> tasks_;
};

}  // namespace kt6
