#include "console/station/station_settings.h"

#include "memory/profile_file.h"

namespace kt6 {

namespace {
// The profile rules strip a value's outer blanks and one pair of surrounding quotes: a command
// such as "/opt/my tools/hook" "a b" would lose its first and last quote. Wrapped in one more
// pair, it reads back as written.
std::string protectedValue(const std::string& value) {
    if (trimProfileValue(value) == value) return value;
    return "\"" + value + "\"";
}
}  // namespace

StationSettings readStationSettings(const ProfileFile& file, std::string* problem) {
    StationSettings s;
    s.port = file.readString(kStationSection, "Port", "");
    const std::string line = file.readString(kStationSection, "Line", "RTS");
    if (auto parsed = parseModemLine(line)) {
        s.line = *parsed;
    } else if (problem) {
        *problem = "Station line: Line=" + line + " in [" + kStationSection +
                   "] is neither RTS nor DTR; no line is driven.";
    }
    s.activeLow = file.readInt(kStationSection, "ActiveLow", 0) != 0;
    s.command = file.readString(kStationSection, "Command", "");
    return s;
}

bool writeStationSettings(ProfileFile& file, const StationSettings& s) {
    // Each key's own line is edited only when its value changed.
    bool ok = file.writeString(kStationSection, "Port", protectedValue(s.port));
    // "rts" written by hand already says RTS: its line stays as it is.
    if (parseModemLine(file.readString(kStationSection, "Line", "RTS")) != s.line ||
        !file.hasKey(kStationSection, "Line")) {
        ok = file.writeString(kStationSection, "Line", std::string(modemLineName(s.line))) && ok;
    }
    ok = file.writeString(kStationSection, "ActiveLow", s.activeLow ? "1" : "0") && ok;
    ok = file.writeString(kStationSection, "Command", protectedValue(s.command)) && ok;
    return ok;
}

std::string saveStationSettings(const std::filesystem::path& path, const StationSettings& s) {
    ProfileFile file(path);
    if (!file.problem().empty()) return path.string() + " " + file.problem();
    if (!writeStationSettings(file, s)) return "a value holds a line break or NUL";
    std::string error;
    if (!file.flush(&error)) return error;
    return {};
}

}  // namespace kt6
