#pragma once
// The bands the controller tunes: the band key that selects each, the frequencies it accepts,
// where it starts, and the band index its status reply gives (10 m in four segments).
#include <array>
#include <cstdint>
#include <optional>

namespace kt6::sim {

struct Band {
    std::uint8_t key;  // front-panel band key code
    std::uint16_t lowKHz;
    std::uint16_t highKHz;
    std::uint16_t defaultKHz;
};

// Band keys 0..7: 6m, 10m, 12m, 15m, 17m, 20m, 30m, 40m.
inline constexpr std::array<Band, 8> kBands = {{
    {0, 50000, 54000, 50150},
    {1, 28000, 29800, 28500},
    {2, 24000, 25100, 24940},
    {3, 21000, 21500, 21200},
    {4, 18000, 18500, 18100},
    {5, 14000, 14500, 14150},
    {6, 10000, 10200, 10120},
    {7, 7000, 7300, 7050},
}};

inline constexpr std::uint16_t kTenMetreSegmentKHz = 500;
// Band index (into the console's BandNames) of each band key; 10 m is resolved by segment.
inline constexpr std::array<std::uint8_t, 8> kKeyBandIndex = {0, 1, 5, 6, 7, 8, 9, 10};
inline constexpr std::uint8_t kBandIndexCount = 11;

// The band that accepts this frequency.
std::optional<Band> bandOf(std::uint16_t kHz);
// The band a band key selects; nothing for codes other than 0..7.
std::optional<Band> bandOfKey(std::uint8_t key);
// The status reply's band index for a frequency inside a band.
std::optional<std::uint8_t> bandIndexOf(std::uint16_t kHz);

}  // namespace kt6::sim
