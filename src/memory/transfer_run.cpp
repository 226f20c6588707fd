#include "memory/transfer_run.h"

#include <utility>

namespace kt6 {

TransferRun::TransferRun(BlockTransfer& transfer, Scheduler& scheduler)
    : transfer_(transfer), runner_(scheduler) {}

TransferRun::~TransferRun() {
    cancel();
}

bool TransferRun::start(bool preamble, std::vector<BlockStep> steps,
                        const TransferProgress& progress, Done done) {
    if (runner_.busy()) return false;
    ++walk_;
    done_ = std::move(done);
    hold_.emplace(transfer_.link());
    const int total = static_cast<int>(steps.size());
    if (progress) progress(0, total);
    std::vector<StepRunner::Step> walk;
    if (preamble) {
        transfer_.enableExchanges();
        walk.push_back(runner_.pause(kSettlePause));
        walk.push_back([this](StepRunner::Next next) { drain(std::move(next)); });
        // The link check goes out in the turn that found the line quiet, as the drain's end.
        walk.push_back([this](StepRunner::Next next) {
            transfer_.checkLink([next = std::move(next)] { next(true); });
        });
    }
    for (int n = 0; n < total; ++n) {
        walk.push_back(runner_.turn());
        walk.push_back([this, step = std::move(steps[static_cast<std::size_t>(n)]), n, total,
                        progress](StepRunner::Next next) {
            if (!stillWanted()) return;
            step([this, walk = walk_, progress, n, total, next = std::move(next)](bool goOn) {
                // A block that answers after its walk was cancelled tells nobody.
                if (walk != walk_) return;
                // Only a block that did not end the walk counts as done.
                if (goOn && progress) progress(n + 1, total);
                next(goOn);
            });
        });
    }
    // The end is told in a turn of its own, never inside the call that started the walk.
    walk.push_back(runner_.turn());
    walk.push_back([this](const StepRunner::Next& next) {
        if (stillWanted()) next(true);
    });
    return runner_.run(std::move(walk), [this](StepRunner::End end) {
        Done finished = std::exchange(done_, nullptr);
        hold_.reset();
        if (finished)
            finished(end == StepRunner::End::Finished ? TransferEnd::Finished
                                                      : TransferEnd::Stopped);
    });
}

void TransferRun::cancel() {
    ++walk_;
    runner_.cancel();
    done_ = nullptr;
    hold_.reset();
}

bool TransferRun::stillWanted() {
    if (!transfer_.link().isShutDown()) return true;
    Done done = std::exchange(done_, nullptr);
    cancel();
    if (done) done(TransferEnd::Abandoned);
    return false;
}

void TransferRun::drain(StepRunner::Next next) {
    if (!stillWanted()) return;
    if (transfer_.dropStaleByte()) {
        runner_.scheduler().after(kDrainPause,
                                  [this, walk = walk_, next = std::move(next)]() mutable {
                                      if (walk == walk_ && runner_.busy()) drain(std::move(next));
                                  });
        return;
    }
    next(true);
}

void PausingScheduler::after(std::chrono::milliseconds delay, std::function<void()> task) {
    tasks_.emplace(now_ + delay, std::move(task));
}

void PausingScheduler::run() {
    while (!tasks_.empty()) {
        auto first = tasks_.begin();
        const std::chrono::milliseconds due = first->first;
        std::function<void()> task = std::move(first->second);
        tasks_.erase(first);
        if (due > now_) {
            if (pause_) pause_(due - now_);
            now_ = due;
        }
        task();
    }
}

}  // namespace kt6
