#pragma once
// Line trouble on purpose: a frame lost on its way in, a reply lost on its way out, a reply
// with a flipped bit, noise before a reply. Every draw comes from one seeded generator, so a
// run with the same seed and the same traffic goes wrong in exactly the same places.
#include <cstdint>
#include <set>

#include "link/bytes.h"

namespace kt6::sim {

struct FaultRates {
    double drop = 0;     // a received frame never reaches the controller
    double corrupt = 0;  // one bit of a reply is flipped
    double noReply = 0;  // the controller acts but its reply is lost
    double garbage = 0;  // noise bytes go out ahead of a reply
};

// Memory blocks a controller mishandles every time they are read: a block read that is never
// answered, answered one byte short of its layout, or refused with a non-zero status.
struct BlockFaults {
    std::set<int> silent;
    std::set<int> shortened;
    std::set<int> refused;
    bool any() const { return !silent.empty() || !shortened.empty() || !refused.empty(); }
};

class FaultInjector {
  public:
    FaultInjector(FaultRates rates, std::uint64_t seed);

    bool dropFrame() { return chance(rates_.drop); }
    bool loseReply() { return chance(rates_.noReply); }
    // Flips one bit of the frame's content or checksum bytes, start and end bytes kept; true
    // when it did.
    bool maybeCorrupt(Bytes& frame);
    // Up to eight noise bytes to send ahead of a reply; empty when there is no noise.
    Bytes maybeGarbage();

    const FaultRates& rates() const { return rates_; }

  private:
    bool chance(double p);
    std::uint64_t next();
    std::uint64_t below(std::uint64_t n) { return next() % n; }

    FaultRates rates_;
    std::uint64_t state_;
};

}  // namespace kt6::sim
