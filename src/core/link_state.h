#pragma once
// What the operator is told of the controller link: the port's fate (none chosen, connecting,
// open, closed, lost and retried) and the controller's answers on it (none yet, online,
// silent), as one state with its status-bar texts. No widgets: the window and the local
// interface read the same state.
#include <cstdint>
#include <string>

#include "link/status.h"

namespace kt6 {

// The link as the operator should see it, kept from the port's fate and the poll's replies.
class LinkState {
  public:
    // Polls in a row without a reply before the link counts as silent (1.2 s).
    static constexpr int kSilentPolls = 3;
    static constexpr int kPollMs = 400;

    // A network port is being opened in the background; portOpened or portClosed follows.
    void portConnecting(int comNumber, const std::string& device);
    // A port was opened: nothing is known of the controller on it yet.
    void portOpened(int comNumber, const std::string& device);
    // A port failed to open with this PortError.
    void portClosed(int comNumber, const std::string& device, std::int32_t error);
    // The port that failed to open is tried again until it opens (portBack).
    void portRetried();
    // The open device went away; the link is retrying it.
    void portLost(int comNumber, const std::string& device);
    // The lost or retried device is open; the controller has not answered on it yet.
    void portBack();
    // A status reply was read on this tick.
    void replied(const StatusRecord& record);
    // A poll tick is over.
    void tickEnded();

    // True once the controller has answered on the port now in use.
    bool answered() const { return answered_; }
    // The last status record, once the controller answered on the port now in use.
    const StatusRecord* record() const { return answered_ ? &last_ : nullptr; }
    // Status records read since the start.
    std::uint64_t records() const { return records_; }
    // "COM1", or the port's network name.
    std::string port() const { return portName(); }
    // True while what the display shows is not live: silent, connecting, closed or lost.
    bool stale() const;
    // "COM1 online, firmware 1.13, 3 drivers", "COM1: no answer" ...
    std::string text() const;
    // Details: the device, and what to do about a failure.
    std::string tip() const;

  private:
    enum class State { NoPort, Connecting, Open, Closed, Lost };
    std::string portName() const;

    State state_ = State::NoPort;
    int com_ = 0;
    std::string device_;
    std::int32_t error_ = 0;
    // Closed, and tried again every 2 s.
    bool retried_ = false;
    bool answered_ = false;
    // Reopened after a loss, and not yet answered on the new open.
    bool back_ = false;
    bool repliedThisTick_ = false;
    int silentPolls_ = 0;
    StatusRecord last_{};
    std::uint64_t records_ = 0;
};

// "/dev/ttyUSB0: permission denied (add yourself to the dialout group)": a PortError in a
// few words, for the status bar; portErrorText gives the long form.
std::string shortPortReason(std::int32_t error, const std::string& device);

}  // namespace kt6
