#pragma once
// Whole-file reads and atomic replacement, the two file operations the profile files need of
// the operating system.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kt6 {

// The bytes of a regular file. Nothing when it is missing (reason left empty), and nothing
// with a reason when it cannot be read, is not a regular file or exceeds maxBytes.
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                                         std::string* reason);

// Replaces path's file with text: a temporary file beside it, flushed to disk, then renamed
// over it, so the file is either all old or all new. A symbolic link is followed and the old
// file's permissions are kept; a missing directory is created. False with a reason, the old
// file untouched and no temporary file left, when any step fails.
bool replaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                           std::string* error = nullptr);

}  // namespace kt6
