#include "sim/firmware.h"

namespace kt6::sim {

std::optional<Firmware> parseFirmware(std::string_view text) {
    if (text == "1.12") return Firmware::V1_12;
    if (text == "1.13") return Firmware::V1_13;
    if (text == "1.30") return Firmware::V1_30;
    return std::nullopt;
}

std::uint8_t firmwareMajor(Firmware) {
    return 1;
}

std::uint8_t firmwareMinor(Firmware firmware) {
    switch (firmware) {
        case Firmware::V1_12:
            return 12;
        case Firmware::V1_13:
            return 13;
        case Firmware::V1_30:
            return 30;
    }
    return 0;
}

std::uint16_t firmwareVersion(Firmware firmware) {
    return static_cast<std::uint16_t>(firmwareMinor(firmware) + 256 * firmwareMajor(firmware));
}

std::string firmwareText(Firmware firmware) {
    return std::to_string(firmwareMajor(firmware)) + "." + std::to_string(firmwareMinor(firmware));
}

}  // namespace kt6::sim
