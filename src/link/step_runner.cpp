#include "link/step_runner.h"

#include <utility>

namespace kt6 {

bool StepRunner::run(std::vector<Step> steps, std::function<void(End)> done) {
    if (busy_) return false;
    steps_ = std::move(steps);
    next_ = 0;
    done_ = std::move(done);
    busy_ = true;
    ++generation_;
    advance();
    return true;
}

void StepRunner::cancel() {
    if (!busy_) return;
    ++generation_;
    busy_ = false;
    done_ = nullptr;
}

StepRunner::Step StepRunner::pause(std::chrono::milliseconds duration) {
    return [this, duration](Next next) {
        scheduler_.after(duration, [next = std::move(next)] { next(true); });
    };
}

void StepRunner::advance() {
    // A step whose next comes inside its own call sets again_: the loop below takes it, so a
    // run of immediate steps never nests one call in another.
    if (stepping_) {
        again_ = true;
        return;
    }
    stepping_ = true;
    do {
        again_ = false;
        if (!busy_) break;
        if (next_ >= steps_.size()) {
            // Its done may start the next run: the loop's condition takes that one up.
            finish(End::Finished);
            continue;
        }
        // The step lives on this frame while it runs: a cancel from inside it must not
        // destroy it under itself.
        const Step step = std::move(steps_[next_++]);
        const std::uint64_t generation = generation_;
        step([this, generation](bool goOn) {
            if (generation != generation_ || !busy_) return;
            if (!goOn) {
                finish(End::Stopped);
                return;
            }
            advance();
        });
    } while (again_);
    stepping_ = false;
}

void StepRunner::finish(End end) {
    busy_ = false;
    ++generation_;
    if (auto done = std::exchange(done_, nullptr)) done(end);
}

}  // namespace kt6
