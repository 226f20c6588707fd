#include "core/step_player.h"

#include <utility>

namespace kt6 {

bool StepPlayer::play(std::span<const ServiceStep> steps, ServiceActions& actions,
                      std::function<void()> done) {
    if (runner_.busy()) return false;
    actions_ = &actions;
    std::vector<StepRunner::Step> run;
    run.reserve(steps.size());
    for (const ServiceStep& s : steps) {
        // The window closing ends the sequence before its next step, whatever that is.
        run.push_back([this, &actions, inner = step(s, actions)](StepRunner::Next next) {
            if (actions.abandoned()) {
                cancel();
                return;
            }
            inner(std::move(next));
        });
    }
    return runner_.run(std::move(run), [done = std::move(done)](StepRunner::End) {
        if (done) done();
    });
}

void StepPlayer::cancel() {
    if (!runner_.busy()) return;
    runner_.cancel();
    ++pauseId_;
    if (std::exchange(pausing_, false)) actions_->pauseEnded();
}

StepRunner::Step StepPlayer::pause(std::function<std::chrono::milliseconds()> duration,
                                   ServiceActions& a) {
    return [this, &a, duration = std::move(duration)](StepRunner::Next next) {
        const std::chrono::milliseconds d = duration();
        pausing_ = true;
        const std::uint64_t id = ++pauseId_;
        a.pauseStarted(d);
        runner_.scheduler().after(d, [this, &a, id, next = std::move(next)] {
            // A cancelled sequence has told its pause's end already; a later one has its own.
            if (id != pauseId_ || !pausing_) return;
            pausing_ = false;
            a.pauseEnded();
            next(true);
        });
    };
}

StepRunner::Step StepPlayer::step(const ServiceStep& s, ServiceActions& a) {
    using Op = ServiceStep::Op;
    // Steps that only change the screens go straight on to the next.
    const auto now = [](std::function<void()> work) {
        return [work = std::move(work)](const StepRunner::Next& next) {
            work();
            next(true);
        };
    };
    switch (s.op) {
        case Op::Key:
        case Op::KeyAsIs:
            // The key's own completion moves on, whenever the controller has answered.
            return [&a, s](StepRunner::Next next) {
                a.key(static_cast<std::uint8_t>(s.value), s.flag, s.op == Op::Key,
                      [next = std::move(next)] { next(true); });
            };
        case Op::Pause:
            return pause([ms = s.value] { return std::chrono::milliseconds(ms); }, a);
        case Op::RetractWait:
            return pause([&a] { return retractWait(a.currentFrequency()); }, a);
        case Op::ReturnKey:
            // A controller that leaves it unanswered would otherwise shorten the wait after it
            // by the key's tries.
            return [&a](StepRunner::Next next) {
                a.returnKey([next = std::move(next)] { next(true); });
            };
        case Op::HideFrontKeys:
            return now([&a] { a.hideFrontKeys(); });
        case Op::ShowFrontKeys:
            return now([&a] { a.showFrontKeys(); });
        case Op::HideQuestions:
            return now([&a] {
                for (ServiceScreen q : kQuestionScreens) a.hide(q);
            });
        case Op::Show:
            return now([&a, screen = s.screen] { a.show(screen); });
        case Op::Hide:
            return now([&a, screen = s.screen] { a.hide(screen); });
        case Op::FactoryLines:
            return now([&a] { a.factoryLines(); });
    }
    return now([] {});
}

}  // namespace kt6
