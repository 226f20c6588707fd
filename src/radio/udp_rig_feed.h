#pragma once
// One rig followed through a logger's datagrams: what each datagram on its port changes of the
// rig's reading, and how long silence may last before the logger counts as gone. No sockets and
// no clock of its own: the caller hands in the bytes and the time, so the rules are tested on a
// fake clock.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "radio/rig_reading.h"
#include "radio/rig_settings.h"

namespace kt6 {

// N1MM sends its radio at least every 10 s and WSJT-X a heartbeat every 15 s: twice that without
// a word, and the logger is gone (and a transmit it reported is no longer held for).
inline constexpr std::chrono::milliseconds kLoggerSilence{30000};

class UdpRigFeed {
  public:
    using ms = std::chrono::milliseconds;

    // For a rig whose source is N1MM or WSJT-X; now is when listening began.
    UdpRigFeed(int rigNumber, const RigPortSettings& settings, ms now);

    // A datagram arrived: the rig's reading when it changed, else nothing. A datagram the
    // source's decoder refuses is dropped and counted; one about another radio is ignored.
    std::optional<RigReading> datagram(std::span<const std::uint8_t> bytes, ms now);
    // Time passed: the reading when silence made the logger gone.
    std::optional<RigReading> tick(ms now);
    // The port could not be listened on, and why.
    std::optional<RigReading> failed(const std::string& why);

    const RigReading& reading() const { return last_; }
    // Datagrams dropped as malformed since listening began.
    int malformed() const { return malformed_; }
    // "127.0.0.1:12060"
    std::string endpoint() const;
    // Who sent the last report ("N1MM", "WSJT-X"); empty before one.
    const std::string& sender() const { return sender_; }

  private:
    std::optional<RigReading> publish(RigReading next);

    int rigNumber_;
    RigPortSettings settings_;
    RigReading last_;
    ms heard_;
    bool portFailed_ = false;
    int malformed_ = 0;
    std::string sender_;
};

}  // namespace kt6
