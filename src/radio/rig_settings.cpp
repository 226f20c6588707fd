#include "radio/rig_settings.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

#include "memory/profile_file.h"

namespace kt6 {

namespace {

// The settings file's words for the sources.
constexpr std::pair<RigSource, std::string_view> kSourceKeys[] = {
    {RigSource::Hamlib, "Hamlib"}, {RigSource::N1mm, "N1MM"}, {RigSource::Wsjtx, "WSJTX"}};

std::string_view sourceKey(RigSource source) {
    for (const auto& [s, key] : kSourceKeys) {
        if (s == source) return key;
    }
    return "Hamlib";
}

RigSource sourceFromKey(const std::string& text) {
    for (const auto& [s, key] : kSourceKeys) {
        if (text.size() == key.size() &&
            std::equal(text.begin(), text.end(), key.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            return s;
        }
    }
    // An unknown word is a file from a newer console, or a typing slip: Hamlib as before.
    return RigSource::Hamlib;
}

}  // namespace

const char* rigSourceCaption(RigSource source) {
    switch (source) {
        case RigSource::Hamlib:
            return "Hamlib";
        case RigSource::N1mm:
            return "N1MM / DXLog UDP";
        case RigSource::Wsjtx:
            return "WSJT-X UDP";
    }
    return "Hamlib";
}

int defaultUdpPort(RigSource source) {
    switch (source) {
        case RigSource::N1mm:
            return kN1mmDefaultPort;
        case RigSource::Wsjtx:
            return kWsjtxDefaultPort;
        case RigSource::Hamlib:
            break;
    }
    return 0;
}

bool RigPortSettings::sameConnection(const RigPortSettings& other) const {
    RigPortSettings a = *this;
    a.stepKHz = other.stepKHz;
    return a == other;
}

RigSettings defaultRigSettings() {
    RigSettings s;
    s.rig(1).port = "localhost:4532";
    s.rig(2).port = "localhost:4534";
    s.rig(2).radioNumber = 2;
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
        r.source = sourceFromKey(trimProfileValue(file.readString(section, "Source", "Hamlib")));
        if (r.source != RigSource::Hamlib) r.udpPort = defaultUdpPort(r.source);
        r.udpPort = file.readInt(section, "UdpPort", r.udpPort);
        if (r.udpPort < 1 || r.udpPort > 65535) r.udpPort = defaultUdpPort(r.source);
        r.bind = trimProfileValue(file.readString(section, "Bind", r.bind));
        if (r.bind.empty()) r.bind = kDefaultUdpBind;
        r.radioNumber = std::clamp(file.readInt(section, "RadioNr", r.radioNumber), 1, 99);
        r.stepKHz = std::clamp(file.readInt(section, "StepKHz", r.stepKHz), 1, kMaxStepKHz);
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

std::string rigUdpProblem(const RigPortSettings& s) {
    if (s.source == RigSource::Hamlib) return {};
    if (s.udpPort < 1 || s.udpPort > 65535) {
        return "UDP port " + std::to_string(s.udpPort) + " is out of range 1-65535";
    }
    // An address, not a name: what is listened on must not depend on a name lookup.
    const auto isAddressChar = [](unsigned char c) {
        return std::isxdigit(c) != 0 || c == '.' || c == ':';
    };
    if (s.bind.empty() || !std::all_of(s.bind.begin(), s.bind.end(), isAddressChar)) {
        return "\"" + s.bind + "\" is not an IP address (127.0.0.1 for this computer only, " +
               "0.0.0.0 for every network)";
    }
    return {};
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
        file.writeString(section, "Source", std::string(sourceKey(r.source)));
        file.writeString(section, "UdpPort", std::to_string(r.udpPort));
        file.writeString(section, "Bind", r.bind);
        file.writeString(section, "RadioNr", std::to_string(r.radioNumber));
        file.writeString(section, "StepKHz", std::to_string(r.stepKHz));
    }
}

}  // namespace kt6
