// kt6ctl's connection to the console: a TCP socket from the link's network layer, read and
// written in whole lines.
#include <cerrno>
#include <chrono>
#include <system_error>

#include "platform.h"

namespace kt6::ctl {
namespace {

// A wait with no end of its own: the console answers or closes the connection.
constexpr std::chrono::hours kLongWait{1};

}  // namespace

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
        int error = 0;
        const long sent =
            sendNow(fd_, reinterpret_cast<const std::uint8_t*>(line.data()), line.size(), error);
        if (sent > 0) {
            line.remove_prefix(static_cast<std::size_t>(sent));
        } else if (sent < 0 && error == EWOULDBLOCK) {
            waitSocket(fd_, true, kLongWait);
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
        if (!waitSocket(fd_, false, kLongWait)) continue;
        std::uint8_t chunk[4096];
        int error = 0;
        const long got = receiveNow(fd_, chunk, sizeof chunk, error);
        if (got > 0) {
            buffer_.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(got));
        } else if (got < 0 && error == EWOULDBLOCK) {
            continue;
        } else {
            // Closed or reset: what was read before the end still counts, a last line
            // without its line end excepted.
            fd_.reset();
        }
    }
}

}  // namespace kt6::ctl
