#pragma once
// What the status bar says of the followed radio and of a command the controller refused:
// state in, texts out, no widgets.
#include <QString>
#include <cstdint>
#include <optional>

#include "link/bytes.h"
#include "link/status.h"
#include "radio/rig_server.h"

namespace kt6 {

class RigTracker;
class RigView;

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

// What the radio field is told of the rig the ticks in view follow, asked of the tracker now.
RadioFacts radioFacts(const RigTracker& rigs, const RigView& view);

// "No radio", "Radio 1: 14.074000 MHz", "Radio 1: transmitting, antenna waits",
// "Radio 1: not reachable (...)" ...
QString radioFieldText(const RadioFacts& facts);

// "3600 kHz refused by the controller (status 3)" and its kin for other commands.
QString refusalText(std::uint8_t code, const Bytes& data, std::uint8_t status);

}  // namespace kt6
