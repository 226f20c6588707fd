#pragma once
// The console's port: which COM is open, opened and configured once per choice; a device that
// goes away is tried again every 2 s, quietly, until it is back or the operator chooses a port.
// A device path opens at once; a network port, whose lookup, connect and negotiation may take
// seconds, opens on a thread of its own and its outcome is taken up on a later tick, so neither
// a choice nor a retry ever holds the caller's loop.
// No Qt and no timer of its own: the window's retry timer calls retryTick(), its link timer
// tick(), and the session says through its observer when the retry timer should run and when
// the device is back.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/background_open.h"
#include "link/comm32.h"
#include "link/device_recovery.h"
#include "link/link.h"
#include "link/scheduler.h"

namespace kt6 {

// The "Com port" menu's ports, COM1 to COM13.
inline constexpr int kComPortCount = 13;

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
        Closed,   // nothing open: none chosen yet, or the chosen port did not open
        Opening,  // the chosen network port is being opened in the background
        Open,     // opened and configured
        Lost,     // the device went away, or the start's port was not there; an attempt
                  // every kRetryInterval
    };
    static constexpr std::chrono::milliseconds kRetryInterval = DeviceRecovery::kRetryInterval;
    // A chosen network port whose server dropped the connection at once is connected once more
    // after this: a serial server may still hold the device for the connection it just lost
    // (two of its ports on one device, switched from one to the other).
    static constexpr std::chrono::milliseconds kDroppedRetryDelay{500};

    // What opening a chosen port came to.
    struct Opened {
        bool ok = false;
        // Why it failed: the open's own error, or the configure's when the open succeeded.
        std::int32_t cause = 0;
    };
    using OpenDone = std::function<void(const Opened&)>;

    // Installs itself as the port's device-lost handler until destroyed. Network ports open on
    // backends from makeBackend (the network transports when empty). The second try of a
    // dropped connection waits on scheduler; without one, the first outcome is the answer.
    PortSession(Comm32& port, Link& link, PortSessionObserver& observer,
                BackgroundOpen::MakeBackend makeBackend = {}, Scheduler* scheduler = nullptr);
    // An open still under way is given up, never waited for.
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    // Closes whatever is open and gives up an open under way, then opens and configures COMn
    // (19200 8N1) once; done gets the outcome: before this returns for a device path, from a
    // later tick() for a network port (Opening meanwhile). A newer open drops it unsaid.
    void open(int n, OpenDone done);
    // The link timer's tick: takes up the outcome of a network port's open once it is in.
    void tick();
    // The operator chose a port (or the window starts afresh): a lost port is tried no more.
    void stopRetrying();
    // The retry timer fired: one quiet attempt on the lost port's mapping, now or, inside an
    // exchange, as soon as the link is free. A network port's attempt runs in the background;
    // while it runs, ticks make no other.
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
    // The device path COMn maps to now.
    std::string pathOf(int n) const;
    // Attempts made since the last loss.
    int attempts() const { return recovery_.attempts(); }

  private:
    void portWentAway();
    bool reopenLost();
    void attempt();
    // Starts opening path in the background: a choice's (Opening) or a quiet retry's (Lost).
    void openInBackground(const std::string& path, OpenDone done);
    void abandonOpen();
    // The choice's open came back dropped by the server: true when it is tried once more.
    bool tryDroppedAgain(std::int32_t error);

    Comm32& port_;
    Link& link_;
    PortSessionObserver& observer_;
    BackgroundOpen::MakeBackend makeBackend_;
    DeviceRecovery recovery_;
    State state_ = State::Closed;
    int portNumber_ = 0;
    // The network open under way (a choice's while Opening, else a quiet retry's), and whom a
    // choice's outcome goes to. Replacing it gives the old one up, so a late outcome of an
    // earlier choice has nowhere to go.
    std::unique_ptr<BackgroundOpen> opening_;
    OpenDone openDone_;
    Scheduler* scheduler_ = nullptr;
    // The choice's number, counted up by every choice and every open given up; held weakly by
    // a second try waiting on the scheduler, which so knows whether it is still wanted.
    std::shared_ptr<int> choice_ = std::make_shared<int>(0);
    bool triedAgain_ = false;
};

}  // namespace kt6
