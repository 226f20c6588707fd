// The token file and the random source on Windows: the file sits in the account's own
// settings folder (its profile's, or the portable folder the account chose), whose access
// list keeps other accounts out; the random bytes come from the system's preferred generator.
// bcrypt.h needs the types windows.h declares.
#include <windows.h>

#include <bcrypt.h>

#include <system_error>

#include "core/api_settings.h"
#include "memory/file_io.h"

namespace kt6::api {

bool secureRandomBytes(unsigned char* out, std::size_t n) {
    return BCRYPT_SUCCESS(
        BCryptGenRandom(nullptr, out, static_cast<ULONG>(n), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

std::optional<std::string> readPrivateFile(const std::filesystem::path& path,
                                           std::string* problem) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        if (problem) *problem = path.string() + ": is a symbolic link";
        return std::nullopt;
    }
    return readWholeFile(path, 4096, problem);
}

bool writePrivateFile(const std::filesystem::path& path, const std::string& text,
                      std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    return replaceFileAtomically(path, text, error);
}

}  // namespace kt6::api
