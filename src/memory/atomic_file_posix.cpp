// Whole-file replacement on POSIX: a temporary file in the same directory (so the rename
// stays on one file system), flushed to disk, then renamed over the target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "memory/setup_file.h"

namespace kt6 {

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error) {
    const auto fail = [&](const std::string& what) {
        if (error) *error = what + ": " + std::strerror(errno);
        return false;
    };
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    std::string temp = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail("cannot create a file in " + dir.string());
    // A replaced file keeps its permissions; a new one gets the usual ones.
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            const int saved = errno;
            ::close(fd);
            ::unlink(temp.c_str());
            errno = saved;
            return fail("cannot write " + path.string());
        }
        done += static_cast<std::size_t>(put);
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncErrno = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed) {
        const int saved = synced ? errno : syncErrno;
        ::unlink(temp.c_str());
        errno = saved;
        return fail("cannot write " + path.string());
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        return fail("cannot replace " + path.string());
    }
    return true;
}

}  // namespace kt6
