#include "sim/bands.h"

#include <algorithm>

namespace kt6::sim {

std::optional<Band> bandOf(std::uint16_t kHz) {
    for (const auto& band : kBands) {
        if (kHz >= band.lowKHz && kHz <= band.highKHz) return band;
    }
    return std::nullopt;
}

std::optional<Band> bandOfKey(std::uint8_t key) {
    if (key >= kBands.size()) return std::nullopt;
    return kBands[key];
}

std::optional<std::uint8_t> bandIndexOf(std::uint16_t kHz) {
    const auto band = bandOf(kHz);
    if (!band) return std::nullopt;
    if (band->key != 1) return kKeyBandIndex[band->key];
    const int segment = std::min(3, (kHz - band->lowKHz) / kTenMetreSegmentKHz);
    return static_cast<std::uint8_t>(1 + segment);
}

}  // namespace kt6::sim
