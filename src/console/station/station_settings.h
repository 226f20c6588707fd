#pragma once
// The settings file's "Inhibit" section: which line tells the station the elements move, and
// the command run at each change. Read and written through the profile file, so every other
// byte of the file stays as it was.
#include <filesystem>
#include <string>

#include "link/line_control.h"

namespace kt6 {

class ProfileFile;

struct StationSettings {
    // Port=: a device path or a COM name; empty: no line.
    std::string port;
    // Line=RTS or DTR.
    ModemLine line = ModemLine::Rts;
    // ActiveLow=1: asserted is the line off (low).
    bool activeLow = false;
    // Command=: run at each change with KT6_MOVING=1 or 0; empty: no hook.
    std::string command;

    bool operator==(const StationSettings&) const = default;
};

inline constexpr const char* kStationSection = "Inhibit";

// The section's values, defaults where keys are missing. A Line= that is neither RTS nor DTR
// reads as RTS and problem says so: such a line is not driven (it might be wired to something
// else), until the operator saves a line.
StationSettings readStationSettings(const ProfileFile& file, std::string* problem = nullptr);
// Sets the section's keys in the file (not yet flushed); false when a value cannot be written.
bool writeStationSettings(ProfileFile& file, const StationSettings& settings);
// Writes the section into the settings file and replaces it atomically; empty, or why not.
std::string saveStationSettings(const std::filesystem::path& path, const StationSettings& settings);

}  // namespace kt6
