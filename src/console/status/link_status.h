#pragma once
// What the status bar says of the controller link, of the followed radio, and of a command
// the controller refused: state in, texts out, no widgets.
#include <QString>
#include <cstdint>
#include <optional>

#include "link/bytes.h"
#include "link/status.h"
#include "radio/rig_server.h"

namespace kt6 {

// The link as the operator should see it, kept from the port's fate and the poll's replies.
class LinkWatch {
  public:
    // Polls in a row without a reply before the link counts as silent (1.2 s).
    static constexpr int kSilentPolls = 3;
    static constexpr int kPollMs = 400;

    // A network port is being opened in the background; portOpened or portClosed follows.
    void portConnecting(int comNumber, const QString& device);
    // A port was opened: nothing is known of the controller on it yet.
    void portOpened(int comNumber, const QString& device);
    // A port failed to open with this PortError.
    void portClosed(int comNumber, const QString& device, std::int32_t error);
    // The port that failed to open is tried again until it opens (portBack).
    void portRetried();
    // The open device went away; the link is retrying it.
    void portLost(int comNumber, const QString& device);
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
    QString port() const { return portName(); }
    // True while what the display shows is not live: silent, connecting, closed or lost.
    bool stale() const;
    // "COM1 online, firmware 1.13, 3 drivers", "COM1: no answer" ...
    QString text() const;
    // Details: the device, and what to do about a failure.
    QString tip() const;

  private:
    enum class State { NoPort, Connecting, Open, Closed, Lost };
    QString portName() const;

    State state_ = State::NoPort;
    int com_ = 0;
    QString device_;
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
QString shortPortReason(std::int32_t error, const QString& device);

// What the radio field is told of the followed rig.
struct RadioFacts {
    // 1 or 2; 0 when no radio is followed.
    int rig = 0;
    // The rig client is open (it opens once the controller answers).
    bool clientOpen = false;
    // The client could not be opened at all, and why.
    bool clientFailed = false;
    QString clientError;
    RigStatus status = RigStatus::NotConfigured;
    std::optional<double> hz;
    // Why the rig is not online ("localhost:4532: connection refused"), when known.
    QString reason;
    // The first connection to the rig is still being made.
    bool connecting = false;
    // The rig transmits: its frequency changes wait for receive.
    bool transmitting = false;
    // "Pause following" is on: nothing is sent.
    bool paused = false;
};

// "No radio", "Radio 1: 14.074000 MHz", "Radio 1: transmitting, antenna waits",
// "Radio 1: not reachable (...)" ...
QString radioFieldText(const RadioFacts& facts);

// "3600 kHz refused by the controller (status 3)" and its kin for other commands.
QString refusalText(std::uint8_t code, const Bytes& data, std::uint8_t status);

}  // namespace kt6
