#include "link/status.h"

#include <cstdio>

namespace kt6 {

std::optional<StatusRecord> decodeStatusRecord(const Bytes& content) {
    if (content.size() < kStatusRecordSize) return std::nullopt;
    StatusRecord r;
    r.sequence = content[0];
    r.status = content[1];
    r.firmwareMinor = content[2];
    r.firmwareMajor = content[3];
    r.screen = content[4];
    r.frequency = static_cast<std::uint16_t>(content[5] | content[6] << 8);
    r.band = content[7];
    r.heading = content[8];
    r.flags = static_cast<std::uint16_t>(content[9] | content[10] << 8);
    r.moving = content[11] != 0;
    r.drivers = content[12];
    return r;
}

Bytes encodeStatusRecord(const StatusRecord& r) {
    return Bytes{r.sequence,
                 r.status,
                 r.firmwareMinor,
                 r.firmwareMajor,
                 r.screen,
                 static_cast<std::uint8_t>(r.frequency & 0xFF),
                 static_cast<std::uint8_t>(r.frequency >> 8),
                 r.band,
                 r.heading,
                 static_cast<std::uint8_t>(r.flags & 0xFF),
                 static_cast<std::uint8_t>(r.flags >> 8),
                 static_cast<std::uint8_t>(r.moving ? 1 : 0),
                 r.drivers};
}

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

std::string screenLine(std::uint8_t screen) { return "ACT screen=" + std::to_string(screen); }

std::optional<HeadingPaint> headingPaint(std::uint8_t heading) {
    using enum NamedColour;
    switch (heading) {
        case 0: return HeadingPaint{clGray, clMaroon, clGray, clGreen, 0, "Heading: normal ->"};
        case 1: return HeadingPaint{clGray, clMaroon, clWhite, clLime, 1, "Heading: <-180\u00B0"};
        case 2: return HeadingPaint{clWhite, clRed, clGray, clGreen, 1, "Heading: <- Bi-Dir ->"};
        default: return std::nullopt;
    }
}

namespace {
struct LampWindow {
    std::uint32_t low, high;
    int key;
};
// Tested in this order; the first window holding the frequency wins.
constexpr std::array<LampWindow, 8> kLampWindows = {{{50000, 51000, 0},
                                                     {28000, 29800, 1},
                                                     {24000, 25100, 2},
                                                     {21000, 21500, 3},
                                                     {18000, 18500, 4},
                                                     {14000, 14500, 5},
                                                     {10000, 10200, 6},
                                                     {7000, 7300, 7}}};
}  // namespace

std::optional<int> bandLampKey(std::uint32_t kHz) {
    for (const auto& w : kLampWindows) {
        if (kHz >= w.low && kHz <= w.high) return w.key;
    }
    return std::nullopt;
}

BlinkPaint blinkPaint(bool elementsMoving, NamedColour lMoveText) {
    using enum NamedColour;
    if (!elementsMoving) return {clGray, clGray, false, false};
    if (lMoveText == clGray) return {clRed, clYellow, true, true};
    return {clGray, clBlack, false, false};
}

}  // namespace kt6
