#pragma once
// The time the simulated controller runs on. The model never reads a clock: every call takes
// the current time, so tests drive it on a fake clock and the backends on steady_clock.
#include <chrono>

namespace kt6::sim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = Clock::duration;

}  // namespace kt6::sim
