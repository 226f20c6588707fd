#pragma once
// A service function played to its end on the calling thread, for programs without an event
// loop (kt6ctl): the same steps the window plays, each key waiting for its answer on the port
// itself and each pause slept out. The hidden return key goes out as the window sends it, its
// exchange running alongside the step after it, so every pause is measured from the same
// moment as in the window.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/service_sequences.h"
#include "link/link.h"
#include "link/scheduler.h"

namespace kt6 {

struct ServiceWalkResult {
    int keys = 0;        // key exchanges sent
    int unanswered = 0;  // of those, the ones the controller did not answer
    // The port closed before the walk's end: it stopped at the step it had reached.
    bool portClosed = false;
    // The factory defaults' "have been recalled" step ran.
    bool factoryRecalled = false;
};

class ServiceWalk : private ServiceActions, private Scheduler {
  public:
    // Spends a pause; a sleep in a program, the fake clock in tests.
    using Sleep = std::function<void(std::chrono::milliseconds)>;
    // Told each pause of a second or more as it begins ("please wait" screens in the window).
    using PauseSink = std::function<void(std::chrono::milliseconds)>;

    // currentFrequency is the last the controller reported: the retraction's wait depends on it.
    ServiceWalk(Link& link, PortWaiter& waiter, Sleep sleep, std::uint32_t currentFrequency,
                PauseSink pauses = {});
    ServiceWalk(const ServiceWalk&) = delete;
    ServiceWalk& operator=(const ServiceWalk&) = delete;

    // Plays the steps to their end (or to the port's closing) and says how it went.
    ServiceWalkResult play(std::span<const ServiceStep> steps);

  private:
    // ServiceActions: keys go out here; screens have no window to show on.
    void key(std::uint8_t code, bool flag, bool enableExchange,
             std::function<void()> done) override;
    void returnKey(std::function<void()> done) override;
    void pauseStarted(std::chrono::milliseconds duration) override;
    void hideFrontKeys() override {}
    void showFrontKeys() override {}
    void show(ServiceScreen) override {}
    void hide(ServiceScreen) override {}
    void factoryLines() override { result_.factoryRecalled = true; }
    std::uint32_t currentFrequency() const override { return frequency_; }
    bool abandoned() const override { return result_.portClosed; }
    // Scheduler: a timer counts from now, the exchange before it over.
    void after(std::chrono::milliseconds delay, std::function<void()> task) override;

    void send(std::uint8_t code, bool flag);

    Link& link_;
    PortWaiter& waiter_;
    Sleep sleep_;
    std::uint32_t frequency_;
    PauseSink pauses_;
    ServiceWalkResult result_;
    std::multimap<LinkTime, std::function<void()>> timers_;
};

// The answer yes to the function's question: what a confirmed request runs after the opening.
// Nothing for the element editor, which has no question.
std::optional<ServiceAnswer> yesAnswer(ServiceFunction function);

// Why a function walked past keys the controller did not answer may not have done its work:
// "the controller did not answer 2 of 5 keys: retract may not have run as it should".
std::string unansweredKeysText(int unanswered, int keys, std::string_view function);

// Plays the function's opening and its answer yes, as an operator who confirms it at once.
// Check guardRefusal first: this plays whatever it is given.
ServiceWalkResult runServiceFunction(ServiceWalk& walk, ServiceFunction function);

}  // namespace kt6
