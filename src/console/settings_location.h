#pragma once
// Where the settings file lives: beside the executable for portable use, else the user's
// configuration directory; an explicit path overrides both. An installed executable (one with
// the installed documentation folder beside its bin folder) always uses the configuration
// directory, even when its folder is writable, as /usr/bin is to root.
#include <filesystem>
#include <optional>

namespace kt6 {

inline constexpr const char* kSettingsFileName = "skarnel.ini";

std::filesystem::path locateSettingsFile(const std::filesystem::path& executableDir,
                                         const std::optional<std::filesystem::path>& override);

}  // namespace kt6
