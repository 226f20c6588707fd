#include "sim/motion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kt6::sim {

Duration travelTime(const Lengths& from, const Lengths& to, double mmPerSecond) {
    int longest = 0;
    for (std::size_t i = 0; i < from.size(); ++i)
        longest = std::max(longest, std::abs(to[i] - from[i]));
    if (longest == 0 || mmPerSecond <= 0) return Duration::zero();
    return std::chrono::duration_cast<Duration>(
        std::chrono::duration<double>(static_cast<double>(longest) / mmPerSecond));
}

void Motion::addLeg(const Lengths& from, const Lengths& to, TimePoint start, double mmPerSecond) {
    const Duration duration = travelTime(from, to, mmPerSecond);
    legs_.push_back({from, to, start, duration});
    finish_ = start + duration;
}

void Motion::placeAt(const Lengths& lengths) {
    legs_.clear();
    target_ = lengths;
    begin_ = finish_ = TimePoint{};
}

void Motion::moveTo(const Lengths& target, TimePoint now, double mmPerSecond) {
    const Lengths from = positionAt(now);
    legs_.clear();
    begin_ = now;
    target_ = target;
    addLeg(from, target, now, mmPerSecond);
}

void Motion::home(const Lengths& target, TimePoint now, double mmPerSecond) {
    const Lengths from = positionAt(now);
    legs_.clear();
    begin_ = now;
    target_ = target;
    addLeg(from, Lengths{}, now, mmPerSecond);
    addLeg(Lengths{}, target, finish_, mmPerSecond);
}

Lengths Motion::positionAt(TimePoint now) const {
    for (const auto& leg : legs_) {
        const TimePoint end = leg.start + leg.duration;
        if (now >= end) continue;
        if (now <= leg.start) return leg.from;
        const double done = std::chrono::duration<double>(now - leg.start) /
                            std::chrono::duration<double>(leg.duration);
        Lengths at{};
        for (std::size_t i = 0; i < at.size(); ++i)
            at[i] = leg.from[i] + static_cast<int>(std::lround((leg.to[i] - leg.from[i]) * done));
        return at;
    }
    return target_;
}

int Motion::progressSixtieths(TimePoint now) const {
    if (now >= finish_) return 60;
    if (now <= begin_) return 0;
    const double done = std::chrono::duration<double>(now - begin_) /
                        std::chrono::duration<double>(finish_ - begin_);
    return std::clamp(static_cast<int>(done * 60), 0, 60);
}

}  // namespace kt6::sim
