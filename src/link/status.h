#pragma once
// The controller's status reply and what the display makes of it: decoding, display lines,
// heading lamps, band-lamp windows and the moving blink. Pure functions, no widgets.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/bytes.h"
#include "link/named_colour.h"

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

// "07.157 Mhz": kHz / 1000 with at least two digits before the separator, three after.
std::string frequencyLine(std::uint32_t kHz, char decimalSeparator = '.');
// "Banda 40m (default)"; an index outside the band table reads "Banda ?".
std::string bandLine(std::uint8_t band, std::uint16_t flags);
// "OK Vrenk v1.13 DRVs=3".
std::string statusLine(const StatusRecord& record);
// "ACT screen=4".
std::string screenLine(std::uint8_t screen);

struct HeadingPaint {
    NamedColour lBidirText;
    NamedColour ldBidir;
    NamedColour l180Text;
    NamedColour ld180;
    int headingMode;
    std::string_view line;  // UTF-8
};
// How a heading byte paints the lamps and the heading line; nothing for unknown values.
std::optional<HeadingPaint> headingPaint(std::uint8_t heading);

// The key code (0..7) of the band key whose lamp window holds this frequency.
std::optional<int> bandLampKey(std::uint32_t kHz);

struct BlinkPaint {
    NamedColour lMoveText;
    NamedColour ldMove;
    bool hideBandLamp;
    bool showMoving;
};
// One 250 ms step of the moving indicator, from the moving state and lMove's current colour.
BlinkPaint blinkPaint(bool elementsMoving, NamedColour lMoveText);

}  // namespace kt6
