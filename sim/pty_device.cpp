#include "sim/pty_device.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace kt6::sim {
namespace {

std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::optional<PtyDevice> PtyDevice::create(std::string* error) {
    PtyDevice pty;
    pty.master_ = UniqueFd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.master_.valid() || ::grantpt(pty.master()) != 0 || ::unlockpt(pty.master()) != 0) {
        if (error) *error = failure("posix_openpt");
        return std::nullopt;
    }
    const char* name = ::ptsname(pty.master());
    if (!name) {
        if (error) *error = failure("ptsname");
        return std::nullopt;
    }
    pty.slavePath_ = name;
    pty.slaveKeeper_ = UniqueFd(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.slaveKeeper_.valid()) {
        if (error) *error = failure(name);
        return std::nullopt;
    }
    // Until the console sets its line, a cooked slave would echo our replies back to us.
    termios tio{};
    if (::tcgetattr(pty.slaveKeeper_.get(), &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(pty.slaveKeeper_.get(), TCSANOW, &tio);
    }
    const int flags = ::fcntl(pty.master(), F_GETFL);
    ::fcntl(pty.master(), F_SETFL, flags | O_NONBLOCK);
    return pty;
}

std::optional<SymlinkGuard> SymlinkGuard::create(const std::filesystem::path& link,
                                                 const std::filesystem::path& target,
                                                 std::string* error) {
    std::error_code code;
    const auto status = std::filesystem::symlink_status(link, code);
    if (!code && std::filesystem::exists(status)) {
        if (!std::filesystem::is_symlink(status)) {
            if (error) *error = link.string() + " exists and is not a symbolic link";
            return std::nullopt;
        }
        std::filesystem::remove(link, code);
    }
    std::filesystem::create_symlink(target, link, code);
    if (code) {
        if (error) *error = link.string() + ": " + code.message();
        return std::nullopt;
    }
    SymlinkGuard guard;
    guard.link_ = link;
    guard.target_ = target;
    return guard;
}

SymlinkGuard::~SymlinkGuard() {
    if (link_.empty()) return;
    std::error_code code;
    if (std::filesystem::read_symlink(link_, code) == target_ && !code)
        std::filesystem::remove(link_, code);
}

SymlinkGuard::SymlinkGuard(SymlinkGuard&& other) noexcept
    : link_(std::exchange(other.link_, {})), target_(std::exchange(other.target_, {})) {}

SymlinkGuard& SymlinkGuard::operator=(SymlinkGuard&& other) noexcept {
    if (this != &other) {
        SymlinkGuard old(std::move(*this));
        link_ = std::exchange(other.link_, {});
        target_ = std::exchange(other.target_, {});
    }
    return *this;
}

}  // namespace kt6::sim
