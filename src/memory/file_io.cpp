// What the file layer does the same way on every system; file_io_posix.cpp and
// file_io_win32.cpp hold the rest.
#include <system_error>

#include "memory/file_io.h"

namespace kt6 {

std::filesystem::path followLinks(std::filesystem::path path) {
    for (int depth = 0; depth < 16; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) break;
        std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

}  // namespace kt6
