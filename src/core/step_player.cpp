#include "core/step_player.h"

#include <utility>

namespace kt6 {

bool StepPlayer::play(std::span<const ServiceStep> steps, ServiceActions& actions,
                      std::function<void()> done) {
    if (busy_) return false;
    steps_.assign(steps.begin(), steps.end());
    next_ = 0;
    actions_ = &actions;
    done_ = std::move(done);
    busy_ = true;
    ++generation_;
    advance();
    return true;
}

void StepPlayer::cancel() {
    if (!busy_) return;
    ++generation_;
    busy_ = false;
    done_ = nullptr;
    if (std::exchange(pausing_, false)) actions_->pauseEnded();
}

std::function<void()> StepPlayer::resumer() {
    return [this, generation = generation_] {
        if (generation == generation_ && busy_) advance();
    };
}

void StepPlayer::advance() {
    if (stepping_) {
        again_ = true;
        return;
    }
    stepping_ = true;
    do {
        again_ = false;
        if (!busy_) break;
        if (actions_->abandoned()) {
            cancel();
            break;
        }
        runStep();
    } while (again_);
    stepping_ = false;
}

void StepPlayer::startPause(std::chrono::milliseconds duration) {
    pausing_ = true;
    actions_->pauseStarted(duration);
    scheduler_.after(duration, [this, generation = generation_] {
        if (generation != generation_ || !busy_) return;
        pausing_ = false;
        actions_->pauseEnded();
        advance();
    });
}

void StepPlayer::finish() {
    busy_ = false;
    ++generation_;
    if (auto done = std::exchange(done_, nullptr)) done();
}

void StepPlayer::runStep() {
    if (next_ >= steps_.size()) {
        finish();
        return;
    }
    using Op = ServiceStep::Op;
    const ServiceStep s = steps_[next_++];
    ServiceActions& a = *actions_;
    switch (s.op) {
        case Op::Key:
        case Op::KeyAsIs:
            // The key's own completion moves on, whenever the controller has answered.
            a.key(static_cast<std::uint8_t>(s.value), s.flag, s.op == Op::Key, resumer());
            return;
        case Op::Pause:
            startPause(std::chrono::milliseconds(s.value));
            return;
        case Op::RetractWait:
            startPause(retractWait(a.currentFrequency()));
            return;
        case Op::ReturnKey:
            a.returnKey();
            break;
        case Op::HideFrontKeys:
            a.hideFrontKeys();
            break;
        case Op::ShowFrontKeys:
            a.showFrontKeys();
            break;
        case Op::HideQuestions:
            for (ServiceScreen q : kQuestionScreens) a.hide(q);
            break;
        case Op::Show:
            a.show(s.screen);
            break;
        case Op::Hide:
            a.hide(s.screen);
            break;
        case Op::FactoryLines:
            a.factoryLines();
            break;
    }
    again_ = true;
}

}  // namespace kt6
