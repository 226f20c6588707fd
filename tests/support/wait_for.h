#pragma once
// Waits for a condition on the real clock, checking it every few milliseconds, until it holds
// or the deadline passes; for tests that watch other processes.
#include <chrono>
#include <thread>

namespace kt6::testing {

template <typename Pred>
bool waitFor(Pred pred, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (std::chrono::steady_clock::now() < end) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return pred();
}

}  // namespace kt6::testing
