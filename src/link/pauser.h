#pragma once
// The timed pauses of the controller's service sequences (a third of a second between menu
// keys, seconds while the motors run), behind one call so tests run them on a fake clock.
#include <chrono>

namespace kt6 {

class Pauser {
  public:
    virtual ~Pauser() = default;
    // Returns once the time has passed (or the link has shut down). Sends nothing, and no
    // exchange may start meanwhile.
    virtual void pause(std::chrono::milliseconds duration) = 0;
};

}  // namespace kt6
