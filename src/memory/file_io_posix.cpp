#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "link/unique_fd.h"
#include "memory/file_io.h"

namespace kt6 {
namespace {

std::string errnoText(int code) {
    return std::strerror(code);
}

// A symbolic link is replaced through: the link stays and its target gets the new text.
std::filesystem::path resolveLinks(std::filesystem::path path) {
    for (int depth = 0; depth < 16; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec))) break;
        std::filesystem::path target = std::filesystem::read_symlink(path, ec);
        if (ec) break;
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return path;
}

bool writeAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                                         std::string* reason) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno != ENOENT && reason) *reason = "cannot be read: " + errnoText(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        if (reason) *reason = "is not a regular file";
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
        if (reason) *reason = "is too large (" + std::to_string(info.st_size) + " bytes)";
        return std::nullopt;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            if (reason) *reason = "cannot be read: " + errnoText(errno);
            return std::nullopt;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > maxBytes) {
            if (reason) *reason = "is too large";
            return std::nullopt;
        }
    }
    return text;
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                           std::string* error) {
    const std::filesystem::path target = resolveLinks(path);
    const auto fail = [&](const std::string& why) {
        if (error) *error = path.string() + ": " + why;
        return false;
    };
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec) return fail("cannot create its folder: " + ec.message());

    struct stat old {};
    const bool hadOld = ::stat(target.c_str(), &old) == 0;
    if (hadOld && !S_ISREG(old.st_mode)) return fail("is not a regular file");

    // A name of our own beside the file: the rename must not cross file systems, and two
    // writers must not share one temporary file.
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        std::string name = ".";
        name.append(target.filename().string()).append(".").append(std::to_string(::getpid()));
        name.append(".").append(std::to_string(counter++)).append(".tmp");
        temp = dir / name;
        fd = UniqueFd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd.valid() && errno != EEXIST) break;
    }
    if (!fd.valid()) return fail("cannot create a temporary file beside it: " + errnoText(errno));
    const auto abandon = [&](const std::string& why) {
        const int code = errno;
        fd.reset();
        ::unlink(temp.c_str());
        return fail(why + ": " + errnoText(code));
    };
    if (hadOld) {
        // The user's permissions and owner survive the replacement; an owner we may not set
        // is left as created.
        if (::fchmod(fd.get(), old.st_mode & 07777) != 0) return abandon("cannot set permissions");
        [[maybe_unused]] const int ignored = ::fchown(fd.get(), old.st_uid, old.st_gid);
    }
    if (!writeAll(fd.get(), text)) return abandon("cannot write");
    if (::fsync(fd.get()) != 0) return abandon("cannot flush to disk");
    if (::close(fd.release()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        return fail("cannot write: " + errnoText(code));
    }
    if (::rename(temp.c_str(), target.c_str()) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        return fail("cannot replace: " + errnoText(code));
    }
    // The rename itself reaches the disk with the folder; a failure here loses nothing.
    UniqueFd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
    return true;
}

}  // namespace kt6
