#include "sim/faults.h"

namespace kt6::sim {

FaultInjector::FaultInjector(FaultRates rates, std::uint64_t seed) : rates_(rates), state_(seed) {}

// splitmix64: fixed by its arithmetic, so a seed means the same faults on every platform
// (the standard library's distributions differ from one implementation to the next).
std::uint64_t FaultInjector::next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

bool FaultInjector::chance(double p) {
    // A fault that is off draws nothing, so the others keep their sequence.
    if (p <= 0) return false;
    if (p >= 1) return true;
    return static_cast<double>(next() >> 11) * 0x1.0p-53 < p;
}

bool FaultInjector::maybeCorrupt(Bytes& frame) {
    if (frame.size() < 3 || !chance(rates_.corrupt)) return false;
    const std::size_t at = 1 + below(frame.size() - 2);
    frame[at] = static_cast<std::uint8_t>(frame[at] ^ (1u << below(8)));
    return true;
}

Bytes FaultInjector::maybeGarbage() {
    if (!chance(rates_.garbage)) return {};
    Bytes noise(1 + below(8));
    for (auto& b : noise) b = static_cast<std::uint8_t>(next() & 0xFF);
    return noise;
}

}  // namespace kt6::sim
