#pragma once
// What the test loops share: posted work run from processEvents, as a toolkit delivers posted
// events from its loop, and a command sent on the link and played to its completion, as the
// window's loop plays it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

#include "link/link.h"

namespace kt6::testing {

class QueuedPump {
  public:
    virtual ~QueuedPump() = default;
    void attach(Link* link) { link_ = link; }
    void post(std::function<void()> task) { posted_.push_back(std::move(task)); }
    std::size_t postedCount() const { return posted_.size(); }

    // One turn of the loop: timers due, posted work, then the port's input to the link.
    virtual void processEvents() = 0;
    // Waits up to the given time, returning early when input arrives.
    virtual void waitForInput(std::chrono::milliseconds timeout) = 0;

    // Queues the command and runs the loop until it completes; its outcome.
    Outcome exchange(Command command, Link::Lane lane = Link::Lane::Open) {
        std::optional<Outcome> result;
        link_->send(
            std::move(command), [&result](const Outcome& o) { result = o; }, lane);
        // Bounded, so a completion that never comes fails the test instead of hanging it.
        for (int turn = 0; !result && turn < 100000; ++turn) {
            processEvents();
            if (result) break;
            waitForInput(std::chrono::milliseconds(10));
        }
        lastReply = result ? result->reply : Bytes{};
        return result.value_or(Outcome{});
    }
    // The same, in the argument order of the protocol's SendCommand: the status byte.
    std::uint8_t send(std::uint8_t code, const Bytes& data, bool flag, int tries, int timeoutMs) {
        return exchange(Command{code, data, flag, tries, std::chrono::milliseconds(timeoutMs)})
            .status;
    }
    // The reply data of the last exchange played here.
    Bytes lastReply;

  protected:
    // Runs what was posted before this call; work posted while it runs waits for the next.
    void runPosted() {
        auto batch = std::move(posted_);
        posted_.clear();
        for (auto& task : batch) task();
    }
    void serviceInput() {
        if (link_) link_->serviceInput();
    }

    Link* link_ = nullptr;

  private:
    std::deque<std::function<void()>> posted_;
};

}  // namespace kt6::testing
