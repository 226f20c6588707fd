// The settings file's places on POSIX systems.
#include <unistd.h>

#include <cstdlib>

#include "console/settings_location.h"

namespace kt6 {

bool folderWritable(const std::filesystem::path& folder) {
    return ::access(folder.c_str(), W_OK) == 0;
}

std::filesystem::path userSettingsDir() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::filesystem::path(home) / ".config";
    } else {
        config = std::filesystem::temp_directory_path();
    }
    return config / "skarnel";
}

}  // namespace kt6
