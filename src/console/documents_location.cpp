#include "console/documents_location.h"

#include <system_error>

#include "kt6_build_info.h"

namespace kt6 {

std::filesystem::path installedDocumentsDir(const std::filesystem::path& executableDir) {
    return (executableDir / KT6_DOCDIR_FROM_BINDIR).lexically_normal();
}

std::optional<std::filesystem::path> findDocument(const std::vector<std::filesystem::path>& folders,
                                                  std::string_view fileName) {
    for (const auto& folder : folders) {
        if (folder.empty()) continue;
        const auto path = folder / fileName;
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) return path;
    }
    return std::nullopt;
}

}  // namespace kt6
