#include "sim/element_lengths.h"

#include <algorithm>
#include <string>

namespace kt6::sim {
namespace {

// Parasitic elements relative to the driver, in thousandths.
constexpr std::array<int, 4> kScalePerMille = {1000, 955, 1045, 930};
// Elements fitted, in the order a smaller antenna loses them.
constexpr std::array<std::size_t, 4> kFittingOrder = {0, 2, 1, 3};
constexpr double kFallbackSpeed = 250.0;

std::int32_t signed16(std::int32_t raw) {
    return raw >= 0x8000 ? raw - 0x10000 : raw;
}

}  // namespace

int useroffsBlock(std::uint8_t bandIndex) {
    return kFirstUseroffsBlock + bandIndex;
}
int factoryTuneBlock(std::uint8_t bandIndex) {
    return kFirstFactoryTuneBlock + bandIndex;
}

Offsets storedOffsets(const ControllerMemory& memory, std::uint8_t bandIndex) {
    Offsets out{};
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] =
            memory.integer(useroffsBlock(bandIndex), "offset" + std::to_string(i + 1)).value_or(0);
    return out;
}

bool storeOffsets(ControllerMemory& memory, std::uint8_t bandIndex, const Offsets& offsets) {
    bool ok = true;
    for (std::size_t i = 0; i < offsets.size(); ++i)
        ok = memory.setInteger(useroffsBlock(bandIndex), "offset" + std::to_string(i + 1),
                               offsets[i]) &&
             ok;
    return ok;
}

std::size_t logicalElement(std::size_t word, std::uint8_t heading, std::uint16_t kHz) {
    const bool reversible = kHz >= kReversibleLowKHz && kHz <= kReversibleHighKHz;
    if (heading != 1 || !reversible) return word;
    if (word == 1) return 2;
    if (word == 2) return 1;
    return word;
}

int minLength(const ControllerMemory& memory) {
    return memory.integer(kFactoryBlock, "min_estensio").value_or(0);
}

int maxLength(const ControllerMemory& memory, std::size_t word) {
    static constexpr std::array<const char*, 4> kKeys = {"max_estensio", "max_estensio2",
                                                         "max_estensio3", "max_estensio4"};
    const int common = memory.integer(kFactoryBlock, "max_estensio").value_or(0);
    return memory.integer(kFactoryBlock, kKeys[word]).value_or(common);
}

Lengths tunedLengths(const ControllerMemory& memory, std::uint16_t kHz, std::uint8_t bandIndex,
                     std::uint8_t heading, const Offsets& offsets, int drivers) {
    Lengths logical{};
    if (kHz == 0) return logical;
    const std::int64_t k = memory.integer(kFactoryBlock, "k_freq2mm").value_or(0);
    const std::int64_t half = k / kHz;
    for (std::size_t i = 0; i < logical.size(); ++i) {
        const std::int32_t tune =
            signed16(memory.integer(factoryTuneBlock(bandIndex), "Tune" + std::to_string(i + 1))
                         .value_or(0));
        const std::int64_t mm = half * kScalePerMille[i] / 1000 + tune + offsets[i];
        logical[i] =
            static_cast<int>(std::clamp<std::int64_t>(mm, minLength(memory), maxLength(memory, i)));
    }
    Lengths words{};
    const int fitted = std::clamp(drivers, 0, 4);
    for (int n = 0; n < fitted; ++n) {
        const std::size_t word = kFittingOrder[static_cast<std::size_t>(n)];
        words[word] = logical[logicalElement(word, heading, kHz)];
    }
    const bool reversible = kHz >= kReversibleLowKHz && kHz <= kReversibleHighKHz;
    // Bi-directional: both parasitic elements sit midway, so the pattern has no front.
    if (heading == 2 && reversible && fitted >= 3) words[1] = words[2] = (words[1] + words[2]) / 2;
    return words;
}

Lengths testLengths(int drivers) {
    Lengths words{};
    for (int n = 0; n < std::clamp(drivers, 0, 4); ++n)
        words[kFittingOrder[static_cast<std::size_t>(n)]] = kTestLengthMm;
    return words;
}

double tapeSpeedMmPerSecond(const ControllerMemory& memory) {
    const double steps = memory.integer(kFactoryBlock, "mot_maxvel").value_or(0);
    const double stepsPer = memory.integer(kFactoryBlock, "k_mm2s_passi").value_or(0);
    const double mmPer = memory.integer(kFactoryBlock, "k_mm2s_mm").value_or(0);
    if (steps <= 0 || stepsPer <= 0 || mmPer <= 0) return kFallbackSpeed;
    return steps * mmPer / stepsPer;
}

}  // namespace kt6::sim
