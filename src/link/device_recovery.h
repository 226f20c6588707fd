#pragma once
// Brings a lost device back: once the port went away it is tried again every 2 s, quietly,
// until it opens. Time comes from the caller (the link timer), so tests run it on a fake
// clock.
#include <chrono>
#include <functional>
#include <utility>

namespace kt6 {

class DeviceRecovery {
  public:
    static constexpr std::chrono::milliseconds kRetryInterval{2000};
    // One attempt to open the lost port again; true when it is open and configured.
    using Reopen = std::function<bool()>;

    explicit DeviceRecovery(Reopen reopen) : reopen_(std::move(reopen)) {}

    // The device went away: retry from now on, the first attempt one interval from now.
    void deviceLost();
    // Retrying ends: the operator chose a port, or an attempt made elsewhere brought the port
    // back. Whatever was being retried is forgotten.
    void cancel();
    // Time passed; makes the attempts that fell due. True when this call reopened the port.
    bool elapse(std::chrono::milliseconds time);

    // True while the device is gone and attempts go on.
    bool retrying() const { return retrying_; }
    // Attempts made since the last loss.
    int attempts() const { return attempts_; }

  private:
    Reopen reopen_;
    bool retrying_ = false;
    int attempts_ = 0;
    std::chrono::milliseconds untilNext_{0};
};

}  // namespace kt6
