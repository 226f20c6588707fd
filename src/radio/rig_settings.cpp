#include "radio/rig_settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

#include "memory/profile_file.h"

namespace kt6 {

RigSettings defaultRigSettings() {
    RigSettings s;
    s.rig(1).port = "localhost:4532";
    s.rig(2).port = "localhost:4534";
    return s;
}

std::string rigSection(int rigNumber) {
    return "Radio" + std::to_string(rigNumber);
}

RigSettings loadRigSettings(const ProfileFile& file) {
    RigSettings s = defaultRigSettings();
    for (int n = 1; n <= kRigCount; ++n) {
        RigPortSettings& r = s.rig(n);
        const std::string section = rigSection(n);
        // A hand-edited file may hold anything; a negative model would reach rig_init.
        r.model = std::max(0, file.readInt(section, "Model", r.model));
        // Quoted values keep their inner blanks; no device or host has them.
        r.port = trimProfileValue(file.readString(section, "Port", r.port));
        r.speed = std::clamp(file.readInt(section, "Speed", r.speed), 0, kMaxSerialSpeed);
        const int pollMs = file.readInt(section, "PollMs", static_cast<int>(r.poll.count()));
        r.poll = std::chrono::milliseconds(std::clamp<int>(
            pollMs, static_cast<int>(kMinRigPoll.count()), static_cast<int>(kMaxRigPoll.count())));
    }
    return s;
}

namespace {

// The port number of host:port when the text has that form (a host, a colon, digits), as
// typed; nothing otherwise.
std::optional<std::string> hostPortNumber(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return std::nullopt;
    std::string digits = text.substr(colon + 1);
    const auto isDigit = [](unsigned char c) { return std::isdigit(c) != 0; };
    if (!std::all_of(digits.begin(), digits.end(), isDigit)) return std::nullopt;
    return digits;
}

bool inPortRange(const std::string& digits) {
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) return false;  // 0
    // Beyond five significant digits it is out of range, and would not fit an int.
    if (digits.size() - first > 5) return false;
    return std::stoi(digits.substr(first)) <= 65535;
}

}  // namespace

std::string rigPortProblem(const RigPortSettings& s) {
    // No rig, or the model's own default port.
    if (s.model == 0 || s.port.empty()) return {};
    if (s.port.front() == '/') {
        std::error_code ec;
        if (!std::filesystem::exists(s.port, ec)) return s.port + ": no such device";
        return {};
    }
    if (const auto digits = hostPortNumber(s.port)) {
        if (!inPortRange(*digits)) return "port " + *digits + " is out of range 1-65535";
        return {};
    }
    if (s.model == kNetRigctlModel) return "\"" + s.port + "\" needs a host and a port: host:port";
    return "\"" + s.port + "\" is neither a serial device (/dev/...) nor host:port";
}

std::string rigSpeedProblem(const std::string& text) {
    if (text.empty() || text == "Default") return {};
    const bool digits = std::all_of(text.begin(), text.end(), ::isdigit);
    if (!digits || text.size() > 7 || std::stoi(text) < 1 || std::stoi(text) > kMaxSerialSpeed) {
        return "speed \"" + text + "\" is not a number of bit/s from 1 to " +
               std::to_string(kMaxSerialSpeed);
    }
    return {};
}

void saveRigSettings(ProfileFile& file, const RigSettings& settings) {
    for (int n = 1; n <= kRigCount; ++n) {
        const RigPortSettings& r = settings.rig(n);
        const std::string section = rigSection(n);
        file.writeString(section, "Model", std::to_string(r.model));
        file.writeString(section, "Port", r.port);
        file.writeString(section, "Speed", std::to_string(r.speed));
        file.writeString(section, "PollMs", std::to_string(r.poll.count()));
    }
}

}  // namespace kt6
