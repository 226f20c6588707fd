#pragma once
// What the display shows of a status record: its text lines, the heading lamps, the display's
// face when the controller turns it off, and each step of the moving indicator. The window
// paints these; it decides none of them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/named_colour.h"
#include "link/status.h"

namespace kt6 {

// "07.157 Mhz": kHz / 1000 with at least two digits before the separator, three after.
std::string frequencyLine(std::uint32_t kHz, char decimalSeparator = '.');
// "Banda 40m (default)"; an index outside the band table reads "Banda ?".
std::string bandLine(std::uint8_t band, std::uint16_t flags);
// "OK Vrenk v1.13 DRVs=3".
std::string statusLine(const StatusRecord& record);
// "ACT screen=4".
std::string screenLine(std::uint8_t screen);

// Every line a record puts on the window, the frequency with the locale's separator.
struct DisplayLines {
    std::string status;
    std::string screen;
    std::string frequency;
    std::string band;
};
DisplayLines displayLines(const StatusRecord& record, char decimalSeparator = '.');

// The two heading lamps with their captions, and the display's heading line.
struct HeadingLamps {
    NamedColour bidirCaption;
    NamedColour bidirLamp;
    NamedColour reversedCaption;  // the 180° lamp's
    NamedColour reversedLamp;
    std::string_view line;  // UTF-8
};
// How a heading byte lights the lamps; nothing for values the controller does not send,
// which leave the lamps as they are.
std::optional<HeadingLamps> headingLamps(std::uint8_t heading);

// The display as the controller's display-off flag leaves it.
struct DisplayFace {
    NamedColour background;
    bool powerKeyLit;
    // The heading line takes the text colour only while the display is on.
    bool headingInked;
};
inline constexpr NamedColour kDisplayText = NamedColour::clBlack;
DisplayFace displayFace(std::uint16_t flags);

// The Tx lamp flashes as a frame goes out and is dim between; the Rx lamp is lit while input
// waits unread.
constexpr NamedColour txLampColour(bool sending) {
    return sending ? NamedColour::clLime : NamedColour::clGreen;
}
constexpr NamedColour rxLampColour(bool inputWaiting) {
    return inputWaiting ? NamedColour::clAqua : NamedColour::clNavy;
}

// One 250 ms step of the moving indicator.
struct MovingIndicator {
    NamedColour caption;  // "Moving..."
    NamedColour lamp;
    bool hideBandLamp;
    bool showBanner;  // "MOVING ELEMENTS....."
};
// The next step from the elements' state and whether the caption is lit (red) now.
MovingIndicator movingIndicatorStep(bool elementsMoving, bool captionLit);

}  // namespace kt6
