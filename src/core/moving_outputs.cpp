#include "core/moving_outputs.h"

#include <utility>

#include "core/command_line.h"

namespace kt6 {

MovingOutputs::MovingOutputs(std::unique_ptr<HookLauncher> launcher, Report report)
    : launcher_(std::move(launcher)),
      report_(std::move(report)),
      self_(std::make_shared<MovingOutputs*>(this)) {}

MovingOutputs::~MovingOutputs() = default;

void MovingOutputs::setLine(std::unique_ptr<InhibitLine> line) {
    if (closed_) return;
    // Let go of the old line only once the new one is driven: were both the same device, its
    // last close in between could drop the line for a moment.
    std::unique_ptr<InhibitLine> old = std::exchange(line_, std::move(line));
    lineFailing_ = false;
    driveLine();
}

void MovingOutputs::setCommand(const std::string& command) {
    if (closed_) return;
    command_ = command;
    args_.clear();
    // A new command has been told nothing yet, whatever the old one was.
    hookTold_ = false;
    SplitCommand split = splitCommandLine(command);
    if (!split.error.empty()) {
        report_("Station hook failed: " + command + ": " + split.error);
        return;
    }
    args_ = std::move(split.words);
    runHook();
}

void MovingOutputs::statusSeen(bool moving) {
    // A reply proves the link, whatever was said of it before.
    link_ = LinkReport::Online;
    setMotion(moving ? Motion::Moving : Motion::Still);
}

void MovingOutputs::linkOnline() {
    // Told again while replies come: what they said still holds.
    if (link_ == LinkReport::Online) {
        setMotion(motion_);
        return;
    }
    link_ = LinkReport::Online;
    setMotion(Motion::Unknown);
}

void MovingOutputs::linkOffline() {
    link_ = LinkReport::Offline;
    setMotion(Motion::Unknown);
}

void MovingOutputs::linkLost() {
    link_ = LinkReport::Lost;
    setMotion(Motion::Unknown);
}

void MovingOutputs::close() {
    if (closed_) return;
    // Released already when standing still, unless driving it failed: one more try.
    if (motion_ == Motion::Still) driveLine();
    closed_ = true;
}

void MovingOutputs::redriveLine() {
    if (!closed_) driveLine();
}

void MovingOutputs::setMotion(Motion motion) {
    if (closed_) return;
    const bool before = inhibited();
    motion_ = motion;
    if (inhibited() != before) {
        // The line first: it is what the radio obeys, and it cannot wait on a process.
        driveLine();
        runHook();
    } else if (lineFailing_) {
        // An adapter plugged back in is driven again within a poll.
        driveLine();
    }
}

void MovingOutputs::driveLine() {
    if (!line_) return;
    const std::string error = inhibited() ? line_->assertLine() : line_->releaseLine();
    if (error.empty()) {
        lineFailing_ = false;
        return;
    }
    // Once per episode: a missing adapter is tried at every poll, and would fill the bar.
    if (!std::exchange(lineFailing_, true)) report_("Station line failed: " + error);
}

void MovingOutputs::runHook() {
    if (closed_ || args_.empty() || !launcher_ || hookRunning_) return;
    const bool inhibit = inhibited();
    // Changes while a hook ran come down to the state now: run only when it differs from
    // what the station was last told.
    if (hookTold_ && hookToldInhibit_ == inhibit) return;
    hookRunning_ = true;
    hookTold_ = true;
    hookToldInhibit_ = inhibit;
    std::weak_ptr<MovingOutputs*> self = self_;
    launcher_->start(args_, {std::string(kHookVariable) + "=" + (inhibit ? "1" : "0")},
                     [self, command = command_](const HookOutcome& outcome) {
                         if (auto alive = self.lock()) (*alive)->hookEnded(command, outcome);
                     });
}

void MovingOutputs::hookEnded(const std::string& command, const HookOutcome& outcome) {
    hookRunning_ = false;
    if (std::string text = hookFailureText(command, outcome); !text.empty()) report_(text);
    runHook();
}

std::string hookFailureText(const std::string& command, const HookOutcome& outcome) {
    const std::string head = "Station hook failed: " + command + ": ";
    switch (outcome.end) {
        case HookOutcome::End::Exited:
            if (outcome.code == 0) return {};
            return head + "exit status " + std::to_string(outcome.code);
        case HookOutcome::End::NotStarted:
            return head + "cannot start" + (outcome.reason.empty() ? "" : ": " + outcome.reason);
        case HookOutcome::End::Killed:
            if (outcome.code == 0) return head + "killed";
            return head + "killed by signal " + std::to_string(outcome.code);
    }
    return head + "ended in an unknown way";
}

}  // namespace kt6
