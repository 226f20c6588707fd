#include "link/device_recovery.h"

namespace kt6 {

void DeviceRecovery::deviceLost() {
    retrying_ = true;
    attempts_ = 0;
    untilNext_ = kRetryInterval;
}

void DeviceRecovery::cancel() {
    retrying_ = false;
    untilNext_ = kRetryInterval;
}

bool DeviceRecovery::elapse(std::chrono::milliseconds time) {
    if (!retrying_) return false;
    untilNext_ -= time;
    if (untilNext_.count() > 0) return false;
    // One attempt however long the caller was away: a late timer must not open in a burst.
    untilNext_ = kRetryInterval;
    ++attempts_;
    if (!reopen_()) return false;
    retrying_ = false;
    return true;
}

}  // namespace kt6
