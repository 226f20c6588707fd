#include "memory/transfer_run.h"

#include <utility>

namespace kt6 {

TransferRun::TransferRun(BlockTransfer& transfer, Scheduler& scheduler)
    : transfer_(transfer), scheduler_(scheduler) {}

TransferRun::~TransferRun() {
    cancel();
}

bool TransferRun::start(bool preamble, std::vector<BlockStep> steps, TransferProgress progress,
                        Done done) {
    if (busy_) return false;
    busy_ = true;
    token_ = std::make_shared<int>(0);
    steps_ = std::move(steps);
    next_ = 0;
    progress_ = std::move(progress);
    done_ = std::move(done);
    hold_.emplace(transfer_.link());
    if (progress_) progress_(0, static_cast<int>(steps_.size()));
    if (preamble) {
        transfer_.enableExchanges();
        schedule(kSettlePause, &TransferRun::drain);
    } else {
        schedule(std::chrono::milliseconds(0), &TransferRun::nextBlock);
    }
    return true;
}

void TransferRun::cancel() {
    if (!busy_) return;
    busy_ = false;
    token_.reset();
    done_ = nullptr;
    progress_ = nullptr;
    hold_.reset();
}

void TransferRun::schedule(std::chrono::milliseconds delay, void (TransferRun::*turn)()) {
    scheduler_.after(delay, [this, turn, alive = std::weak_ptr<int>(token_)] {
        if (alive.expired()) return;
        (this->*turn)();
    });
}

bool TransferRun::stillWanted() {
    if (!transfer_.link().isShutDown()) return true;
    finish(TransferEnd::Abandoned);
    return false;
}

void TransferRun::drain() {
    if (!stillWanted()) return;
    if (transfer_.dropStaleByte()) {
        schedule(kDrainPause, &TransferRun::drain);
        return;
    }
    // The link check goes out in the turn that found the line quiet, as the drain's end.
    transfer_.checkLink([this, alive = std::weak_ptr<int>(token_)] {
        if (alive.expired()) return;
        schedule(std::chrono::milliseconds(0), &TransferRun::nextBlock);
    });
}

void TransferRun::nextBlock() {
    if (!stillWanted()) return;
    if (next_ >= steps_.size()) {
        finish(TransferEnd::Finished);
        return;
    }
    // The step lives on this frame while it runs: a cancel from inside its exchange must not
    // destroy it under itself.
    const BlockStep step = std::move(steps_[next_++]);
    step([this, alive = std::weak_ptr<int>(token_)](bool goOn) {
        if (alive.expired()) return;
        blockDone(goOn);
    });
}

void TransferRun::blockDone(bool goOn) {
    if (!goOn) {
        finish(TransferEnd::Stopped);
        return;
    }
    // Only a block that did not end the walk counts as done.
    const std::weak_ptr<int> alive = token_;
    if (progress_) progress_(static_cast<int>(next_), static_cast<int>(steps_.size()));
    if (alive.expired()) return;
    schedule(std::chrono::milliseconds(0), &TransferRun::nextBlock);
}

void TransferRun::finish(TransferEnd end) {
    Done done = std::exchange(done_, nullptr);
    cancel();
    if (done) done(end);
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
