#pragma once
// The console's port: which COM is open, opened and configured once per choice; a device that
// goes away is tried again every 2 s, quietly, until it is back or the operator chooses a port.
// No Qt and no timer of its own: the window's retry timer calls retryTick(), and the session
// says through its observer when that timer should run and when the device is back.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "link/comm32.h"
#include "link/device_recovery.h"
#include "link/link.h"
#include "link/serial_network.h"

namespace kt6 {

class PortSessionObserver {
  public:
    virtual ~PortSessionObserver() = default;
    // The port was closed to be opened again: nothing known of the controller on it holds.
    virtual void portClosed() = 0;
    // The open port's device went away (the port is closed already).
    virtual void deviceLost() = 0;
    // The retry timer should run (every kRetryInterval) or stop.
    virtual void runRetryTimer(bool running) = 0;
    // The lost device is open and configured again.
    virtual void deviceBack() = 0;
};

class PortSession {
  public:
    enum class State {
        Closed,  // nothing open: none chosen yet, or the chosen port did not open
        Open,    // opened and configured
        Lost,    // the device went away, or the start's port was not there; an attempt
                 // every kRetryInterval
    };
    static constexpr std::chrono::milliseconds kRetryInterval = DeviceRecovery::kRetryInterval;
    // The device the settings map COMn to, if any; read afresh at every attempt.
    using MappedDevice = std::function<std::optional<std::string>(int)>;

    // What opening a chosen port came to.
    struct Opened {
        bool ok = false;
        // Why it failed: the open's own error, or the configure's when the open succeeded.
        std::int32_t cause = 0;
    };

    // Installs itself as the port's device-lost handler until destroyed.
    PortSession(Comm32& port, Link& link, MappedDevice mappedDevice, PortSessionObserver& observer);
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    // Closes whatever is open, then opens and configures COMn (19200 8N1) once.
    Opened open(int n);
    // The operator chose a port (or the window starts afresh): a lost port is tried no more.
    void stopRetrying();
    // The retry timer fired: one quiet attempt on the lost port's mapping, now or, inside an
    // exchange, as soon as the link is free. A network host not yet known to take connections
    // is not opened at all, so its connect never holds the window.
    void retryTick();
    // The port chosen at start did not open for cause: when that says its device is not
    // there (yet), it is waited for as a lost device is, an attempt every kRetryInterval
    // until it opens (deviceBack) or the operator chooses; true then.
    bool retryUnopened(std::int32_t cause);
    // The chosen port did not open: no COM is selected any more.
    void forgetPortNumber() { portNumber_ = 0; }

    State state() const { return state_; }
    // True while the open port's device is gone and attempts go on.
    bool retrying() const { return state_ == State::Lost; }
    // The COM number chosen last; 0 when the last choice did not open.
    int portNumber() const { return portNumber_; }
    // Attempts made since the last loss.
    int attempts() const { return recovery_.attempts(); }

  private:
    void portWentAway();
    bool reopenLost();
    void attempt();

    Comm32& port_;
    Link& link_;
    MappedDevice mappedDevice_;
    PortSessionObserver& observer_;
    DeviceRecovery recovery_;
    PortReachability reachability_;
    State state_ = State::Closed;
    int portNumber_ = 0;
};

}  // namespace kt6
