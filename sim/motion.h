#pragma once
// The element motors: where the four tapes are at a given time while they run from one set
// of lengths to the next, one leg after another, at a fixed speed.
#include <array>
#include <chrono>
#include <vector>

#include "sim/sim_clock.h"

namespace kt6::sim {

// Driver, director 1, reflector, director 2, in mm: the order of the element-length reply.
using Lengths = std::array<int, 4>;

class Motion {
  public:
    // The tapes stand at these lengths, not moving.
    void placeAt(const Lengths& lengths);
    // Runs from wherever the tapes are now straight to target, dropping any legs still ahead.
    void moveTo(const Lengths& target, TimePoint now, double mmPerSecond);
    // Runs all tapes in to 0 and then out to target: the homing of a calibration.
    void home(const Lengths& target, TimePoint now, double mmPerSecond);

    Lengths positionAt(TimePoint now) const;
    bool movingAt(TimePoint now) const { return now < finish_; }
    // Progress of the current run in sixtieths: 0 at its start, 60 once it has ended.
    int progressSixtieths(TimePoint now) const;
    TimePoint finish() const { return finish_; }
    // The lengths the tapes stop at when the current run ends.
    const Lengths& target() const { return target_; }

  private:
    struct Leg {
        Lengths from;
        Lengths to;
        TimePoint start;
        Duration duration;
    };
    void addLeg(const Lengths& from, const Lengths& to, TimePoint start, double mmPerSecond);

    std::vector<Leg> legs_;
    Lengths target_{};
    TimePoint begin_{};
    TimePoint finish_{};
};

// The time the longest of the four changes takes at this speed.
Duration travelTime(const Lengths& from, const Lengths& to, double mmPerSecond);

}  // namespace kt6::sim
