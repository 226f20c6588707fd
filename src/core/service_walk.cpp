#include "core/service_walk.h"

#include <utility>

#include "core/step_player.h"
#include "link/commands.h"

namespace kt6 {

namespace {
constexpr std::chrono::milliseconds kToldPause{1000};
}  // namespace

ServiceWalk::ServiceWalk(Link& link, PortWaiter& waiter, Sleep sleep,
                         std::uint32_t currentFrequency, PauseSink pauses)
    : link_(link),
      waiter_(waiter),
      sleep_(std::move(sleep)),
      frequency_(currentFrequency),
      pauses_(std::move(pauses)) {}

ServiceWalkResult ServiceWalk::play(std::span<const ServiceStep> steps) {
    result_ = {};
    StepPlayer player(*this);
    player.play(steps, *this);
    while (!timers_.empty()) {
        auto first = timers_.begin();
        const LinkTime due = first->first;
        std::function<void()> task = std::move(first->second);
        timers_.erase(first);
        const LinkTime now = waiter_.now();
        // Once the port has closed the rest of the walk only ends itself: nothing to wait for.
        if (due > now && !result_.portClosed && sleep_) sleep_(due - now);
        task();
    }
    return result_;
}

void ServiceWalk::key(std::uint8_t code, bool flag, bool enableExchange,
                      std::function<void()> done) {
    if (enableExchange) link_.enableExchanges();
    send(code, flag);
    if (done) done();
}

void ServiceWalk::returnKey(std::function<void()> done) {
    send(keys::kReturn, false);
    if (done) done();
}

void ServiceWalk::pauseStarted(std::chrono::milliseconds duration) {
    if (pauses_ && duration >= kToldPause) pauses_(duration);
}

void ServiceWalk::after(std::chrono::milliseconds delay, std::function<void()> task) {
    timers_.emplace(waiter_.now() + delay, std::move(task));
}

void ServiceWalk::send(std::uint8_t code, bool flag) {
    if (result_.portClosed) return;
    ++result_.keys;
    const Outcome outcome = link_.SendCommandBlocking(keyCommand(code, flag), waiter_);
    if (outcome.status == kNoReply) ++result_.unanswered;
    if (!link_.port().IsOpen()) result_.portClosed = true;
}

std::optional<ServiceAnswer> yesAnswer(ServiceFunction function) {
    switch (function) {
        case ServiceFunction::Calibrate:
            return ServiceAnswer::CalibrateYes;
        case ServiceFunction::FactoryDefault:
            return ServiceAnswer::FactoryYes;
        case ServiceFunction::Retract:
            return ServiceAnswer::RetractYes;
        case ServiceFunction::TestElements:
            return ServiceAnswer::TestYes;
        case ServiceFunction::ModifyElements:
            break;
    }
    return std::nullopt;
}

std::string unansweredKeysText(int unanswered, int keys, std::string_view function) {
    return "the controller did not answer " + std::to_string(unanswered) + " of " +
           std::to_string(keys) + " keys: " + std::string(function) +
           " may not have run as it should";
}

ServiceWalkResult runServiceFunction(ServiceWalk& walk, ServiceFunction function) {
    const auto answer = yesAnswer(function);
    if (!answer) return {};
    ServiceWalkResult opened = walk.play(openingSteps(function));
    if (opened.portClosed) return opened;
    const ServiceWalkResult answered = walk.play(answerSteps(*answer));
    ServiceWalkResult total = answered;
    total.keys += opened.keys;
    total.unanswered += opened.unanswered;
    total.factoryRecalled = opened.factoryRecalled || answered.factoryRecalled;
    return total;
}

}  // namespace kt6
