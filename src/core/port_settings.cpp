#include "core/port_settings.h"

#include <cctype>

#include "link/comm32.h"
#include "memory/profile_file.h"

namespace kt6 {

int settingsComPort(const ProfileFile& settings, std::string* problem) {
    const std::string text = settings.readString("General", "Serialport", "1");
    if (const auto n = portNumber(text)) return *n;
    if (problem) {
        *problem = "\"" + text + "\" is not a valid serial port number in " +
                   settings.path().string() + "; COM1 is used.";
    }
    return 1;
}

std::optional<std::string> settingsComMapping(const ProfileFile& settings, int n) {
    std::string device = settings.readString("Ports", "COM" + std::to_string(n), "");
    if (device.empty()) return std::nullopt;
    return device;
}

std::optional<std::string> mappedComDevice(const std::filesystem::path& settingsPath, int n) {
    return settingsComMapping(ProfileFile(settingsPath), n);
}

std::string settingsComDevice(const ProfileFile& settings, int n) {
    return settingsComMapping(settings, n).value_or(defaultComDevice(n));
}

std::optional<int> comPortNumber(std::string_view name) {
    if (name.size() < 4) return std::nullopt;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return std::nullopt;
    }
    return portNumber(name.substr(3));
}

}  // namespace kt6
