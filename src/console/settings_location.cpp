#include "console/settings_location.h"

#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "console/documents_location.h"

namespace kt6 {

std::filesystem::path locateSettingsFile(const std::filesystem::path& executableDir,
                                         const std::optional<std::filesystem::path>& override) {
    if (override) return *override;
    const auto beside = executableDir / kSettingsFileName;
    std::error_code ec;
    const bool installed = std::filesystem::is_directory(installedDocumentsDir(executableDir), ec);
    if (!installed &&
        (std::filesystem::exists(beside, ec) || ::access(executableDir.c_str(), W_OK) == 0)) {
        return beside;
    }
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        config = std::filesystem::path(home) / ".config";
    } else {
        config = std::filesystem::temp_directory_path();
    }
    return config / "skarnel" / kSettingsFileName;
}

}  // namespace kt6
