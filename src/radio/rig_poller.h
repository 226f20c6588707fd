#pragma once
// One rig polled on its own thread: opens it through libhamlib, reads its frequency every poll
// interval and its mode, VFO and, where the rig can tell, PTT as they matter, reopens after a
// failure, and reports each change as a queued signal to whoever lives on the window thread.
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "radio/rig_reading.h"
#include "radio/rig_server.h"
#include "radio/rig_settings.h"

namespace kt6 {

// Hamlib gives up on a silent radio after this (its defaults block rig_open for 20 s).
inline constexpr std::chrono::milliseconds kRigIoTimeout{500};
inline constexpr int kRigIoRetries = 1;
// How long a rig that failed waits before it is opened again.
inline constexpr std::chrono::milliseconds kRigReopenDelay{1000};
// The frequency is read every poll interval, and the PTT too while the radio transmits or when
// its frequency has just changed. Otherwise the PTT is read this often, so the status bar tells a
// radio keyed without retuning, and mode and VFO at the slower pace after it.
inline constexpr std::chrono::milliseconds kRigPttInterval{250};
inline constexpr std::chrono::milliseconds kRigDetailsInterval{1000};
// The reason given for a rig that has no model chosen.
inline constexpr const char* kNoRigModel = "no rig model chosen";

class RigPoller : public QObject {
    Q_OBJECT
  public:
    RigPoller(int rigNumber, RigPortSettings settings, std::uint64_t generation);
    // Asks the thread to stop and waits briefly for it; a thread stuck in libhamlib (a
    // connect to a host that drops packets can take minutes) is left to finish on its own,
    // and reports nothing after this returns.
    ~RigPoller() override;

    // Starts the thread; false when it cannot be started.
    bool start();
    // Asks the thread to end without waiting for it.
    void requestStop();

  signals:
    // Emitted on the poller's thread; connect it queued.
    void reading(kt6::RigReading reading);

  private:
    struct Shared;
    // What the thread works on; shared, so the thread may outlive this object.
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

}  // namespace kt6

Q_DECLARE_METATYPE(kt6::RigReading)
