#include "link/status.h"

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

std::optional<int> headingMode(std::uint8_t heading) {
    switch (heading) {
        case 0:
            return 0;
        case 1:
        case 2:
            return 1;
        default:
            return std::nullopt;
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

}  // namespace kt6
