// The token file and the random source on POSIX: the file is the account's own, mode 0600,
// and read without following a link another account may have planted.
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/api_settings.h"
#include "link/unique_fd.h"

namespace kt6::api {

bool secureRandomBytes(unsigned char* out, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::getrandom(out + got, n - got, 0);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        got += static_cast<std::size_t>(r);
    }
    return true;
}

std::optional<std::string> readPrivateFile(const std::filesystem::path& path,
                                           std::string* problem) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno != ENOENT && problem) *problem = path.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > 4096) {
        if (problem) *problem = path.string() + ": not a token file";
        return std::nullopt;
    }
    if (info.st_uid != ::geteuid() || (info.st_mode & 077) != 0) {
        if (problem) *problem = path.string() + ": other accounts may read or change it";
        return std::nullopt;
    }
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    return text;
}

bool writePrivateFile(const std::filesystem::path& path, const std::string& text,
                      std::string* error) {
    const auto fail = [&](const std::string& why) {
        if (error) *error = path.string() + ": " + why;
        return false;
    };
    std::error_code ec;
    // The settings folder may not exist yet at the first start; it is the account's own.
    std::filesystem::create_directories(path.parent_path(), ec);
    if (ec) return fail("cannot create its folder: " + ec.message());
    const std::filesystem::path temp =
        path.parent_path() / ("." + path.filename().string() + "." + std::to_string(::getpid()));
    ::unlink(temp.c_str());
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid()) return fail(std::strerror(errno));
    // The umask may only take bits away, but a file made elsewhere with this name may not be ours.
    const bool written =
        ::fchmod(fd.get(), 0600) == 0 &&
        ::write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size()) &&
        ::fsync(fd.get()) == 0;
    const int code = errno;
    if (::close(fd.release()) != 0 || !written) {
        ::unlink(temp.c_str());
        return fail(std::strerror(code));
    }
    // A rename replaces a link itself, never the file it names.
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        const int renameCode = errno;
        ::unlink(temp.c_str());
        return fail(std::strerror(renameCode));
    }
    return true;
}

}  // namespace kt6::api
