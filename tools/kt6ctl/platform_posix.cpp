// kt6ctl's operating-system side on POSIX: the connection is a TCP socket from the link's
// network layer, read and written here; the executable's folder comes from /proc.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

#include "link/serial_network.h"
#include "platform.h"

namespace kt6::ctl {

LineSocket::LineSocket(const std::string& host, std::uint16_t port) {
    const NetworkAddress address{"tcp", host, port};
    const int error = connectStream(address, NetworkOptions{}, fd_);
    if (error == 0) {
        state_ = State::Connected;
        return;
    }
    state_ = error == ECONNREFUSED ? State::Refused : State::Failed;
    const std::string where = address.label();
    if (error == kHostNotFound) {
        reason_ = where + ": host not found";
    } else if (error == ETIMEDOUT) {
        reason_ = where + ": no answer within 3 s";
    } else {
        reason_ = where + ": " + std::generic_category().message(error);
    }
}

bool LineSocket::send(std::string_view line) {
    while (!line.empty() && fd_.valid()) {
        // MSG_NOSIGNAL: a console gone away is an error to report, not a signal that ends us.
        const ssize_t sent = ::send(fd_.get(), line.data(), line.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            line.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd_.get(), POLLOUT, 0};
            ::poll(&p, 1, -1);
        } else if (sent < 0 && errno == EINTR) {
            continue;
        } else {
            fd_.reset();
        }
    }
    return fd_.valid();
}

std::optional<std::string> LineSocket::readLine() {
    for (;;) {
        if (const auto end = buffer_.find('\n'); end != std::string::npos) {
            std::string line = buffer_.substr(0, end);
            buffer_.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return line;
        }
        if (!fd_.valid() || buffer_.size() > kMaxLine) return std::nullopt;
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, -1) < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t got = ::recv(fd_.get(), chunk, sizeof chunk, 0);
        if (got > 0) {
            buffer_.append(chunk, static_cast<std::size_t>(got));
        } else if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            continue;
        } else {
            // Closed or reset: what was read before the end still counts, a last line
            // without its line end excepted.
            fd_.reset();
        }
    }
}

std::filesystem::path executableDir() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return exe.parent_path();
}

bool isTerminal(std::FILE* stream) {
    return stream && ::isatty(::fileno(stream)) == 1;
}

}  // namespace kt6::ctl
