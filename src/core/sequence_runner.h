#pragma once
// Runs the service functions' sequences and the element editor's walks on the link: while one
// runs the link is held (no poll request, radio frequency or other exchange between its keys),
// no other may start, and every key waits for its exchange. What the sequence shows (its
// screens, the front keys, the countdown of a long wait) goes to a view; a face without
// screens runs the same sequences without one.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/service_sequences.h"
#include "core/status_poll.h"
#include "core/step_player.h"
#include "link/link.h"
#include "link/scheduler.h"

namespace kt6 {

// Why nothing else may start while a sequence runs.
inline constexpr std::string_view kSequenceBusy = "A service function is running.";

// What a running sequence shows. Every call has a default: a face shows what it has.
class SequenceView {
  public:
    virtual ~SequenceView() = default;
    // A sequence began (true) or the last one ended (false): input to the face is dropped
    // meanwhile.
    virtual void sequenceRunning(bool /*running*/) {}
    virtual void pauseStarted(std::chrono::milliseconds /*duration*/) {}
    virtual void pauseEnded() {}
    virtual void hideFrontKeys() {}
    virtual void showFrontKeys() {}
    virtual void show(ServiceScreen) {}
    virtual void hide(ServiceScreen) {}
    // The display's lines after a factory recall, until the next status reply.
    virtual void factoryLines() {}
};

class SequenceRunner : private ServiceActions {
  public:
    SequenceRunner(Link& link, const StatusPoll& poll, Scheduler& scheduler);
    SequenceRunner(const SequenceRunner&) = delete;
    SequenceRunner& operator=(const SequenceRunner&) = delete;

    void setView(SequenceView* view) { view_ = view; }

    // A sequence under way lasts as long as a Run lives (keep it in the completions of the
    // exchanges it waits for); runSequence keeps one up across its steps.
    class Run {
      public:
        explicit Run(SequenceRunner& runner) : runner_(runner) { runner_.begin(); }
        ~Run() { runner_.end(); }
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

      private:
        SequenceRunner& runner_;
    };

    // Plays the steps and returns at once; then runs after the last step, still inside the
    // sequence (it may start the next one).
    void runSequence(std::span<const ServiceStep> steps, std::function<void()> then = {});
    // The face is closing: the sequence ends where it stands.
    void stop();
    bool running() const { return running_; }

    // What the function guard looks at now; the port prompt is the face's.
    GuardState guardState(bool portPromptVisible) const;
    // The function as its menu item and then its "Yes" run it, for a caller that confirmed
    // already and checked the guard; ended(yes) is told when the answer's steps are over, then
    // done with why it may not have run (keys the controller did not answer) or empty. Empty
    // when it started, else why not.
    std::string runConfirmed(ServiceFunction function, std::function<void(ServiceAnswer yes)> ended,
                             std::function<void(const std::string& error)> done);

    // Sends a command as part of the sequence under way; done gets its outcome.
    void exchange(Command command, std::function<void(const Outcome&)> done);
    // The return key, as the window's hidden key sends it; done once its exchange is over.
    void returnKey(std::function<void()> done) override;
    // A key of the sequence under way, counted for runConfirmed's answer; done once its
    // exchange is over, whatever the controller said.
    void key(std::uint8_t code, bool flag, bool enableExchange,
             std::function<void()> done) override;

  private:
    void begin();
    void end();

    // ServiceActions.
    void pauseStarted(std::chrono::milliseconds duration) override;
    void pauseEnded() override;
    bool abandoned() const override { return link_.isShutDown(); }
    void hideFrontKeys() override;
    void showFrontKeys() override;
    void show(ServiceScreen s) override;
    void hide(ServiceScreen s) override;
    void factoryLines() override;
    std::uint32_t currentFrequency() const override { return poll_.CurrentFrequency(); }

    Link& link_;
    const StatusPoll& poll_;
    StepPlayer player_;
    SequenceView* view_ = nullptr;
    bool running_ = false;
    int depth_ = 0;
    std::optional<Link::Hold> hold_;
    // Keys sent since the last confirmed run began, and those of them never answered.
    int keysSent_ = 0;
    int keysUnanswered_ = 0;
};

}  // namespace kt6
