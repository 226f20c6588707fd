#pragma once
// Where the manuals are: beside the executable (a build tree or a portable copy), else in the
// documentation folder of the installation the executable belongs to.
#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace kt6 {

inline constexpr const char* kEnglishManual = "manual.pdf";
inline constexpr const char* kItalianManual = "manuale.pdf";

// The installed documentation folder for an executable in executableDir, whether or not it
// exists (bin/../share/doc/skarnel-kt6 for the layout this build installs).
std::filesystem::path installedDocumentsDir(const std::filesystem::path& executableDir);

// The first of the folders, in order, that holds the file; nothing when none does.
std::optional<std::filesystem::path> findDocument(const std::vector<std::filesystem::path>& folders,
                                                  std::string_view fileName);

}  // namespace kt6
