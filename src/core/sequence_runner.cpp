#include "core/sequence_runner.h"

#include <utility>

#include "link/commands.h"

namespace kt6 {

SequenceRunner::SequenceRunner(Link& link, const StatusPoll& poll, Scheduler& scheduler)
    : link_(link), poll_(poll), player_(scheduler) {}

void SequenceRunner::begin() {
    if (depth_++ > 0) return;
    running_ = true;
    hold_.emplace(link_);
    if (view_) view_->sequenceRunning(true);
}

void SequenceRunner::end() {
    if (depth_ == 0 || --depth_ > 0) return;
    running_ = false;
    hold_.reset();
    if (view_) view_->sequenceRunning(false);
}

void SequenceRunner::stop() {
    player_.cancel();
    pauseEnded();
    while (depth_ > 0) end();
}

void SequenceRunner::runSequence(std::span<const ServiceStep> steps, std::function<void()> then) {
    begin();
    const bool started = player_.play(steps, *this, [this, then = std::move(then)] {
        if (then) then();
        end();
    });
    if (!started) end();
}

GuardState SequenceRunner::guardState(bool portPromptVisible) const {
    return {poll_.repliedNow(), poll_.frequencyNow(), portPromptVisible, poll_.movingNow()};
}

std::string SequenceRunner::runConfirmed(ServiceFunction function,
                                         std::function<void(ServiceAnswer yes)> ended,
                                         std::function<void(const std::string& error)> done) {
    // The "Yes" that confirms it; the editor has none, and is worked from the window.
    const auto yes = yesAnswer(function);
    if (!yes) return "the element editor needs the window";
    if (running_) return std::string(kSequenceBusy);
    // The question's screen shows as the menu leaves it, and is answered at once: the caller
    // confirmed already.
    keysSent_ = 0;
    keysUnanswered_ = 0;
    runSequence(openingSteps(function),
                [this, yes = *yes, ended = std::move(ended), done = std::move(done)]() mutable {
                    runSequence(answerSteps(yes), [this, yes, ended = std::move(ended),
                                                   done = std::move(done)] {
                        if (ended) ended(yes);
                        if (!done) return;
                        // The menus were walked blind past an unanswered key: the caller is told,
                        // as the command-line tool tells its own walk.
                        if (keysUnanswered_ == 0) {
                            done({});
                            return;
                        }
                        done(unansweredKeysText(keysUnanswered_, keysSent_, "the function"));
                    });
                });
    return {};
}

void SequenceRunner::exchange(Command command, std::function<void(const Outcome&)> done) {
    link_.send(std::move(command), std::move(done), Link::Lane::Held);
}

void SequenceRunner::key(std::uint8_t code, bool flag, bool enableExchange,
                         std::function<void()> done) {
    if (enableExchange) link_.enableExchanges();
    exchange(keyCommand(code, flag), [this, done = std::move(done)](const Outcome& outcome) {
        ++keysSent_;
        if (outcome.status == kNoReply) ++keysUnanswered_;
        if (done) done();
    });
}

void SequenceRunner::returnKey(std::function<void()> done) {
    // As a click on the window's hidden return key sends it.
    link_.enableExchanges();
    exchange(keyCommand(keys::kReturn), [done = std::move(done)](const Outcome&) {
        if (done) done();
    });
}

void SequenceRunner::pauseStarted(std::chrono::milliseconds duration) {
    if (view_) view_->pauseStarted(duration);
}

void SequenceRunner::pauseEnded() {
    if (view_) view_->pauseEnded();
}

void SequenceRunner::hideFrontKeys() {
    if (view_) view_->hideFrontKeys();
}

void SequenceRunner::showFrontKeys() {
    if (view_) view_->showFrontKeys();
}

void SequenceRunner::show(ServiceScreen s) {
    if (view_) view_->show(s);
}

void SequenceRunner::hide(ServiceScreen s) {
    if (view_) view_->hide(s);
}

void SequenceRunner::factoryLines() {
    if (view_) view_->factoryLines();
}

}  // namespace kt6
