#pragma once
// Posted work for the test pumps: run from processEvents, as a toolkit delivers posted
// events from its loop (nested loops included).
#include <deque>
#include <functional>

#include "link/event_pump.h"

namespace kt6::testing {

class QueuedPump : public EventPump {
public:
    void post(std::function<void()> task) override { posted_.push_back(std::move(task)); }
    std::size_t postedCount() const { return posted_.size(); }

protected:
    // Runs what was posted before this call; work posted while it runs waits for the next.
    void runPosted() {
        auto batch = std::move(posted_);
        posted_.clear();
        for (auto& task : batch) task();
    }

private:
    std::deque<std::function<void()>> posted_;
};

}  // namespace kt6::testing
