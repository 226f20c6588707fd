#include "radio/rig_settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

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

// host:port with a port number from 1 to 65535.
bool isHostPort(const std::string& text) {
    const auto colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 == text.size()) return false;
    const std::string digits = text.substr(colon + 1);
    if (digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), ::isdigit)) return false;
    const int port = std::stoi(digits);
    return port >= 1 && port <= 65535;
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
    if (isHostPort(s.port)) return {};
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
