#pragma once
// The controller's status reply: its decoding, and what its bytes mean to the poll (the heading
// mode, the band lamp's key). What the display shows of it is core/status_view.h.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "link/bytes.h"

namespace kt6 {

inline constexpr std::size_t kStatusRecordSize = 13;

struct StatusRecord {
    std::uint8_t sequence = 0;
    std::uint8_t status = 0;
    std::uint8_t firmwareMinor = 0;
    std::uint8_t firmwareMajor = 0;
    std::uint8_t screen = 0;
    std::uint16_t frequency = 0;  // kHz
    std::uint8_t band = 0;
    std::uint8_t heading = 0;
    std::uint16_t flags = 0;
    bool moving = false;
    std::uint8_t drivers = 0;

    // The firmware as one number, minor in the low byte: 1.13 is 269.
    std::uint16_t firmwareVersion() const {
        return static_cast<std::uint16_t>(firmwareMinor + 256u * firmwareMajor);
    }

    static constexpr std::uint16_t kDisplayOff = 0x0002;
    static constexpr std::uint16_t kCustomTuning = 0x0100;
};

inline constexpr std::array<std::string_view, 11> BandNames = {
    "6m", "10m(1)", "10m(2)", "10m(3)", "10m(4)", "12m", "15m", "17m", "20m", "30m", "40m"};

// The record in a status reply's content (sequence byte first); nothing when it is shorter
// than the 13 bytes the fields need.
std::optional<StatusRecord> decodeStatusRecord(const Bytes& content);

// The reply bytes of a record, sequence byte first (the simulated controller sends these).
Bytes encodeStatusRecord(const StatusRecord& record);

// The heading byte's mode: 0 for normal, 1 for reversed or both ways; nothing for values the
// controller does not send.
std::optional<int> headingMode(std::uint8_t heading);

// The key code (0..7) of the band key whose lamp window holds this frequency.
std::optional<int> bandLampKey(std::uint32_t kHz);

}  // namespace kt6
