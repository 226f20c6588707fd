#include "console/settings_location.h"

#include <system_error>

#include "console/documents_location.h"

namespace kt6 {

std::filesystem::path locateSettingsFile(const std::filesystem::path& executableDir,
                                         const std::optional<std::filesystem::path>& override) {
    if (override) return *override;
    const auto beside = executableDir / kSettingsFileName;
    std::error_code ec;
    const bool installed = std::filesystem::is_directory(installedDocumentsDir(executableDir), ec);
    if (!installed && (std::filesystem::exists(beside, ec) || folderWritable(executableDir))) {
        return beside;
    }
    return userSettingsDir() / kSettingsFileName;
}

}  // namespace kt6
