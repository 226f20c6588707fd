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

// How a replacement treats the path it is given.
enum class ReplacePolicy {
    // The settings file: a symbolic link there is the user's own and is written through (the
    // link stays), and a missing folder is created, as a first start needs.
    FollowLinks,
    // A file someone names for a backup, perhaps in a folder others can write to: the folder
    // must exist and is never created; a symbolic link as the last component is refused ("is
    // a symbolic link"), never followed; the temporary file is made and renamed relative to
    // the folder opened once, so a folder link swapped meanwhile cannot redirect either step.
    Strict,
};

// Replaces path's file with text: a temporary file beside it, flushed to disk, then renamed
// over it, so the file is either all old or all new. The old file's permissions are kept.
// False with a reason, the old file untouched and no temporary file left, when any step fails.
bool replaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                           std::string* error = nullptr,
                           ReplacePolicy policy = ReplacePolicy::FollowLinks);

// The file a path finally names, through up to 16 symbolic links (the path itself when it is
// none): a settings file that is the user's own link is written through, the link left as is.
std::filesystem::path followLinks(std::filesystem::path path);

// Why a strict replacement of path would be refused before any file is touched: its folder is
// missing or no folder, or path names a symbolic link or something other than a regular file.
// Empty when it may go ahead; the replacement checks again when it runs.
std::string strictReplaceProblem(const std::filesystem::path& path);

}  // namespace kt6
