#pragma once
// Where the settings file lives: beside the executable for portable use, else the user's
// configuration directory; an explicit path overrides both. An installed executable (one with
// the installed documentation folder beside its bin folder) always uses the configuration
// directory, even when its folder is writable, as /usr/bin is to root.
#include <filesystem>
#include <optional>

namespace kt6 {

inline constexpr const char* kSettingsFileName = "skarnel.ini";

// Whether this user may make files in the folder. One file per system:
// settings_location_posix.cpp, settings_location_win32.cpp.
bool folderWritable(const std::filesystem::path& folder);

// The user's own folder for the settings file when it cannot be beside the executable:
// $XDG_CONFIG_HOME/skarnel (~/.config/skarnel) on POSIX systems, %APPDATA%\skarnel on Windows.
std::filesystem::path userSettingsDir();

std::filesystem::path locateSettingsFile(const std::filesystem::path& executableDir,
                                         const std::optional<std::filesystem::path>& override);

}  // namespace kt6
