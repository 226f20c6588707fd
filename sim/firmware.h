#pragma once
// The firmware generations the simulated controller can present: they fix the version bytes
// of the status reply and the layouts of blocks 0 and 1.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kt6::sim {

enum class Firmware { V1_12, V1_13, V1_30 };

// "1.12", "1.13" or "1.30"; nothing for any other text.
std::optional<Firmware> parseFirmware(std::string_view text);
std::uint8_t firmwareMajor(Firmware firmware);
std::uint8_t firmwareMinor(Firmware firmware);
// minor + 256 x major, as the console's FirmwareVersion holds it.
std::uint16_t firmwareVersion(Firmware firmware);
std::string firmwareText(Firmware firmware);

}  // namespace kt6::sim
