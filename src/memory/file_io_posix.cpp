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

namespace {

// Where a replacement lands: the folder it was given, opened once, and the name in it. Every
// later step is relative to the folder's descriptor.
struct Landing {
    UniqueFd folder;
    std::string name;
    std::string problem;  // set: nothing may be written
};

Landing openLanding(const std::filesystem::path& target, bool createFolder) {
    Landing out;
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    out.name = target.filename().string();
    if (out.name.empty() || out.name == "." || out.name == "..") {
        out.problem = "names a folder, not a file";
        return out;
    }
    if (createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            out.problem = "cannot create its folder: " + ec.message();
            return out;
        }
    }
    out.folder = UniqueFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!out.folder.valid()) {
        const int code = errno;
        if (code == ENOENT) {
            out.problem = "its folder " + dir.string() + " does not exist";
        } else if (code == ENOTDIR) {
            out.problem = dir.string() + " is not a folder";
        } else {
            out.problem = "cannot open its folder: " + errnoText(code);
        }
    }
    return out;
}

// What stands at the name now, not following a link; false when nothing does.
bool statAt(const Landing& at, struct stat& info) {
    return ::fstatat(at.folder.get(), at.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

// Why what stands at the name may not be replaced; empty when it may (or nothing is there).
std::string occupantProblem(bool hadOld, const struct stat& old) {
    if (!hadOld) return {};
    if (S_ISLNK(old.st_mode)) return "is a symbolic link";
    if (!S_ISREG(old.st_mode)) return "is not a regular file";
    return {};
}

}  // namespace

std::string strictReplaceProblem(const std::filesystem::path& path) {
    const Landing at = openLanding(path, false);
    if (!at.problem.empty()) return path.string() + ": " + at.problem;
    struct stat old {};
    const bool hadOld = statAt(at, old);
    if (std::string why = occupantProblem(hadOld, old); !why.empty())
        return path.string() + " " + why;
    return {};
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                           std::string* error, ReplacePolicy policy) {
    const bool strict = policy == ReplacePolicy::Strict;
    const auto fail = [&](const std::string& why) {
        if (error) *error = path.string() + ": " + why;
        return false;
    };
    const Landing at = openLanding(strict ? path : followLinks(path), !strict);
    if (!at.problem.empty()) return fail(at.problem);
    const int dir = at.folder.get();

    struct stat old {};
    const bool hadOld = statAt(at, old);
    if (std::string why = occupantProblem(hadOld, old); !why.empty()) {
        if (error) *error = path.string() + " " + why;
        return false;
    }

    // A name of our own beside the file: the rename must not cross file systems, and two
    // writers must not share one temporary file.
    static std::atomic<unsigned> counter{0};
    std::string temp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
        temp = ".";
        temp.append(at.name).append(".").append(std::to_string(::getpid()));
        temp.append(".").append(std::to_string(counter++)).append(".tmp");
        fd = UniqueFd(::openat(dir, temp.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!fd.valid() && errno != EEXIST) break;
    }
    if (!fd.valid()) return fail("cannot create a temporary file beside it: " + errnoText(errno));
    const auto abandon = [&](const std::string& why) {
        const int code = errno;
        fd.reset();
        ::unlinkat(dir, temp.c_str(), 0);
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
        ::unlinkat(dir, temp.c_str(), 0);
        return fail("cannot write: " + errnoText(code));
    }
    // A rename never follows a link at its new name: one planted since the check above is
    // replaced itself, and what it pointed to is left alone.
    if (::renameat(dir, temp.c_str(), dir, at.name.c_str()) != 0) {
        const int code = errno;
        ::unlinkat(dir, temp.c_str(), 0);
        return fail("cannot replace: " + errnoText(code));
    }
    // The rename itself reaches the disk with the folder; a failure here loses nothing.
    ::fsync(dir);
    return true;
}

}  // namespace kt6
