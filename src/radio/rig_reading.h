#pragma once
// What one rig connection last told of its radio, whichever source read it (a Hamlib poller or a
// logger's datagrams), and which of it changed since the reading before.
#include <cstdint>
#include <string>

#include "radio/rig_server.h"

namespace kt6 {

struct RigReading {
    int rigNumber = 0;
    // Which run of the rig's source made it: readings of a replaced source are dropped.
    std::uint64_t generation = 0;
    RigStatus status = RigStatus::Disabled;
    bool hasFrequency = false;
    double hz = 0;
    // Hamlib's mode and VFO; 0 where the source has none.
    std::uint64_t mode = 0;
    std::uint32_t vfo = 0;
    // Why the rig is not online, empty while online.
    std::string error;
    // The rig says it transmits; false on receive and for a rig that cannot report PTT.
    bool transmitting = false;
    // The rig is being reached for the first time: not answering yet, no verdict either.
    bool connecting = false;
    bool statusChanged = false;
    bool paramsChanged = false;
    // Online and transmitting, or not any more.
    bool transmitChanged = false;
};

// Sets next's change flags against the last reading told (none before the first); false when
// nothing changed, and the reading need not be told.
bool markChanges(RigReading& next, const RigReading* last);

}  // namespace kt6
