#include "core/blocking_loop.h"

#include <algorithm>
#include <thread>

namespace kt6 {

class BlockingLoop::Timer : public RepeatingTimer {
  public:
    Timer(BlockingLoop& loop, std::function<void()> task) : loop_(loop), task_(std::move(task)) {
        loop_.timers_.push_back(this);
    }
    ~Timer() override { std::erase(loop_.timers_, this); }

    void start(std::chrono::milliseconds interval) override {
        interval_ = interval;
        due_ = Clock::now() + interval;
        active_ = true;
    }
    void stop() override { active_ = false; }
    bool active() const override { return active_; }
    std::chrono::milliseconds interval() const override { return interval_; }

    Clock::time_point due() const { return due_; }
    void fire() {
        // The next period counts from this one's due time, as a precise timer's does.
        due_ += interval_;
        if (due_ < Clock::now()) due_ = Clock::now() + interval_;
        task_();
    }

  private:
    BlockingLoop& loop_;
    std::function<void()> task_;
    std::chrono::milliseconds interval_{0};
    Clock::time_point due_{};
    bool active_ = false;
};

BlockingLoop::~BlockingLoop() = default;

void BlockingLoop::after(std::chrono::milliseconds delay, std::function<void()> task) {
    tasks_.emplace(std::make_pair(Clock::now() + delay, posted_++), std::move(task));
}

MakeRepeatingTimer BlockingLoop::timers() {
    return [this](const char*, std::function<void()> task) -> std::unique_ptr<RepeatingTimer> {
        return std::make_unique<Timer>(*this, std::move(task));
    };
}

std::optional<BlockingLoop::Clock::time_point> BlockingLoop::nextDue() const {
    std::optional<Clock::time_point> due;
    if (!tasks_.empty()) due = tasks_.begin()->first.first;
    for (const Timer* t : timers_) {
        if (t->active() && (!due || t->due() < *due)) due = t->due();
    }
    return due;
}

bool BlockingLoop::runOneDue() {
    const Clock::time_point now = Clock::now();
    Timer* timer = nullptr;
    for (Timer* t : timers_) {
        if (t->active() && t->due() <= now && (!timer || t->due() < timer->due())) timer = t;
    }
    const bool taskDue = !tasks_.empty() && tasks_.begin()->first.first <= now;
    if (taskDue && (!timer || tasks_.begin()->first.first <= timer->due())) {
        auto task = std::move(tasks_.begin()->second);
        tasks_.erase(tasks_.begin());
        task();
        return true;
    }
    if (!timer) return false;
    timer->fire();
    return true;
}

bool BlockingLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const Clock::time_point end = Clock::now() + limit;
    while (!done()) {
        if (runOneDue()) continue;
        const Clock::time_point now = Clock::now();
        if (now >= end) return false;
        Clock::time_point wake = std::min(end, nextDue().value_or(end));
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
        const auto timeout = std::max(wait, std::chrono::milliseconds(0));
        if (!port_ || !link_) {
            std::this_thread::sleep_for(timeout);
            continue;
        }
        // Input wakes the loop early; the link reads it at once.
        if (port_->WaitForInput(timeout)) link_->serviceInput();
    }
    return true;
}

}  // namespace kt6
