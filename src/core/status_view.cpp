#include "core/status_view.h"

#include <cstdio>

namespace kt6 {

std::string frequencyLine(std::uint32_t kHz, char decimalSeparator) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%02u%c%03u Mhz", kHz / 1000, decimalSeparator,
                  kHz % 1000);
    return buffer;
}

std::string bandLine(std::uint8_t band, std::uint16_t flags) {
    std::string line = "Banda ";
    line += band < BandNames.size() ? BandNames[band] : std::string_view("?");
    line += (flags & StatusRecord::kCustomTuning) ? " (custom)" : " (default)";
    return line;
}

std::string statusLine(const StatusRecord& r) {
    return "OK Vrenk v" + std::to_string(r.firmwareMajor) + "." + std::to_string(r.firmwareMinor) +
           " DRVs=" + std::to_string(r.drivers);
}

std::string screenLine(std::uint8_t screen) {
    return "ACT screen=" + std::to_string(screen);
}

DisplayLines displayLines(const StatusRecord& r, char decimalSeparator) {
    return {statusLine(r), screenLine(r.screen), frequencyLine(r.frequency, decimalSeparator),
            bandLine(r.band, r.flags)};
}

std::optional<HeadingLamps> headingLamps(std::uint8_t heading) {
    using enum NamedColour;
    switch (heading) {
        case 0:
            return HeadingLamps{clGray, clMaroon, clGray, clGreen, "Heading: normal ->"};
        case 1:
            return HeadingLamps{clGray, clMaroon, clWhite, clLime, "Heading: <-180\u00B0"};
        case 2:
            return HeadingLamps{clWhite, clRed, clGray, clGreen, "Heading: <- Bi-Dir ->"};
        default:
            return std::nullopt;
    }
}

DisplayFace displayFace(std::uint16_t flags) {
    if (flags & StatusRecord::kDisplayOff) return {NamedColour::clBlack, false, false};
    return {NamedColour::clMoneyGreen, true, true};
}

MovingIndicator movingIndicatorStep(bool elementsMoving, bool captionLit) {
    using enum NamedColour;
    if (!elementsMoving) return {clGray, clGray, false, false};
    if (!captionLit) return {clRed, clYellow, true, true};
    return {clGray, clBlack, false, false};
}

}  // namespace kt6
