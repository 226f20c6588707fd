#pragma once
// The console's loop for a program without one (kt6ctl without a console): the controller's
// timers run in time order on the calling thread, and between them the loop waits on the port,
// waking as soon as input comes so the link reads it then, as the window's port watch does.
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "link/comm32.h"
#include "link/link.h"
#include "link/scheduler.h"

namespace kt6 {

class BlockingLoop : public Scheduler {
  public:
    using Clock = std::chrono::steady_clock;

    BlockingLoop() = default;
    ~BlockingLoop() override;
    BlockingLoop(const BlockingLoop&) = delete;
    BlockingLoop& operator=(const BlockingLoop&) = delete;

    // The port the loop waits on and the link that reads it; without one it only sleeps.
    void setPort(Comm32* port, Link* link) {
        port_ = port;
        link_ = link;
    }
    void after(std::chrono::milliseconds delay, std::function<void()> task) override;
    // Repeating timers on this loop; they must not outlive it.
    MakeRepeatingTimer timers();
    // Turns the loop until done() holds (looked at after every task and every input) or the
    // limit passes; false on the limit.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);

  private:
    class Timer;
    friend class Timer;

    // The next one-shot task or repeating timer due; nothing when none is waiting.
    std::optional<Clock::time_point> nextDue() const;
    // Runs one task or timer that is due; false when none is.
    bool runOneDue();

    Comm32* port_ = nullptr;
    Link* link_ = nullptr;
    // Ties keep the order the tasks were posted in.
    std::multimap<std::pair<Clock::time_point, std::uint64_t>, std::function<void()>> tasks_;
    std::uint64_t posted_ = 0;
    std::vector<Timer*> timers_;
};

}  // namespace kt6
