#pragma once
// The element lengths the controller sets for a frequency: a half-wave figure from the Factory
// block scaled per element, plus the band's factory tuning and user offsets, held within the
// Factory block's limits, then arranged for the heading.
#include <array>
#include <cstdint>

#include "sim/controller_memory.h"
#include "sim/motion.h"

namespace kt6::sim {

// Reply-word order: driver, director 1, reflector, director 2.
using Offsets = std::array<std::int32_t, 4>;

inline constexpr int kTestLengthMm = 1000;
// Below 20 m the parasitic elements cannot swap roles; the console's editor knows this too.
inline constexpr std::uint16_t kReversibleLowKHz = 14000;
inline constexpr std::uint16_t kReversibleHighKHz = 50500;

// Blocks that hold a band index's user offsets and factory tuning.
int useroffsBlock(std::uint8_t bandIndex);
int factoryTuneBlock(std::uint8_t bandIndex);

Offsets storedOffsets(const ControllerMemory& memory, std::uint8_t bandIndex);
bool storeOffsets(ControllerMemory& memory, std::uint8_t bandIndex, const Offsets& offsets);

// Which element's figures a reply word carries under this heading at this frequency.
std::size_t logicalElement(std::size_t word, std::uint8_t heading, std::uint16_t kHz);

// The element's permitted range, from the Factory block (firmware 1.12 has one maximum).
int minLength(const ControllerMemory& memory);
int maxLength(const ControllerMemory& memory, std::size_t word);

// The lengths for a tuned frequency; elements beyond the driver count stay at 0 (a 2-element
// antenna has driver and reflector, a 3-element one adds director 1).
Lengths tunedLengths(const ControllerMemory& memory, std::uint16_t kHz, std::uint8_t bandIndex,
                     std::uint8_t heading, const Offsets& offsets, int drivers);
// Every fitted element at the test length: what a test extends at frequency 0.
Lengths testLengths(int drivers);

// Tape speed from the motor figures: steps per second over steps per mm.
double tapeSpeedMmPerSecond(const ControllerMemory& memory);

}  // namespace kt6::sim
