// What the network transports share: reading a tcp:// or rfc2217:// address, connecting in
// steps that can be given up, and telling a dropped connection from a quiet one.
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <thread>

#include "link/serial_network.h"

namespace kt6 {
namespace {

using Clock = std::chrono::steady_clock;

// How long one step of a wait may block before it asks whether the open was given up.
constexpr std::chrono::milliseconds kStep{15};
// Unacknowledged data older than this drops the connection: the poll writes every 400 ms, so a
// cable pulled at the far end is noticed within seconds, not after the system's many minutes.
constexpr unsigned kUserTimeoutMs = 10000;

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<std::string_view> schemeOf(std::string_view path) {
    const auto colon = path.find("://");
    if (colon == std::string_view::npos) return std::nullopt;
    return path.substr(0, colon);
}

bool givenUp(const NetworkOptions& options) {
    return options.cancelled && options.cancelled();
}

// Blocks at most one step: 0, or ETIMEDOUT once the deadline passed, or ECANCELED.
int stepWait(int fd, short events, Clock::time_point deadline, const NetworkOptions& options,
             short& revents) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return ETIMEDOUT;
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::min(left, kStep).count()));
    revents = ready > 0 ? p.revents : 0;
    return givenUp(options) ? ECANCELED : 0;
}

// Name resolution may ask a DNS or mDNS server that takes seconds; it runs in the background
// so that the open can be given up meanwhile, and a quiet retry never waits for it.
struct Resolution {
    std::string host;
    std::string service;
    addrinfo hints{};
    gaicb request{};
};

// Cancels a lookup that is still running; one that cannot be cancelled still writes into its
// request when it ends, so that small record is left to it rather than freed under its feet.
void abandon(Resolution* job) {
    if (::gai_cancel(&job->request) != EAI_NOTCANCELED) {
        if (job->request.ar_result != nullptr) ::freeaddrinfo(job->request.ar_result);
        delete job;
    }
}

// Starts a lookup in the background; nullptr when it cannot start.
Resolution* startLookup(const NetworkAddress& address) {
    auto* job = new Resolution{address.host, std::to_string(address.port), {}, {}};
    job->hints.ai_family = AF_UNSPEC;
    job->hints.ai_socktype = SOCK_STREAM;
    job->hints.ai_flags = AI_NUMERICSERV;
    job->request.ar_name = job->host.c_str();
    job->request.ar_service = job->service.c_str();
    job->request.ar_request = &job->hints;
    gaicb* list[] = {&job->request};
    if (::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) {
        delete job;
        return nullptr;
    }
    return job;
}

int resolve(const NetworkAddress& address, Clock::time_point deadline,
            const NetworkOptions& options, addrinfo*& result) {
    const std::string service = std::to_string(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &result) == 0) return 0;

    Resolution* job = startLookup(address);
    if (job == nullptr) return kHostNotFound;
    for (;;) {
        const int state = ::gai_error(&job->request);
        if (state != EAI_INPROGRESS) {
            result = job->request.ar_result;
            delete job;
            return state == 0 ? 0 : kHostNotFound;
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(kStep);
        if (givenUp(options)) {
            abandon(job);
            return ECANCELED;
        }
    }
    abandon(job);
    return ETIMEDOUT;
}

int connectOne(const addrinfo& ai, Clock::time_point deadline, const NetworkOptions& options,
               UniqueFd& out) {
    UniqueFd fd(
        ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol));
    if (!fd.valid()) return errno;
    if (::connect(fd.get(), ai.ai_addr, ai.ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return errno;
        for (;;) {
            short revents = 0;
            if (const int error = stepWait(fd.get(), POLLOUT, deadline, options, revents)) {
                return error;
            }
            if (revents != 0) break;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
        if (error != 0) return error;
    }
    // Frames are a few bytes each; waiting to fill a segment would only add delay.
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const unsigned timeout = kUserTimeoutMs;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout, sizeof timeout);
    out = std::move(fd);
    return 0;
}

}  // namespace

std::string NetworkAddress::label() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool isNetworkPort(std::string_view path) {
    const auto scheme = schemeOf(path);
    if (!scheme) return false;
    const std::string s = lower(*scheme);
    return s == "tcp" || s == "rfc2217";
}

std::optional<NetworkAddress> parseNetworkAddress(std::string_view path) {
    if (!isNetworkPort(path)) return std::nullopt;
    NetworkAddress address;
    address.scheme = lower(*schemeOf(path));
    std::string_view rest = path.substr(address.scheme.size() + 3);
    // A trailing slash is what a pasted address often carries; nothing else may follow.
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") {
            return std::nullopt;
        }
        address.host = std::string(rest.substr(1, close - 1));
        portText = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        address.host = std::string(rest.substr(0, colon));
        portText = rest.substr(colon + 1);
        if (address.host.find_first_of(":/") != std::string::npos) return std::nullopt;
    }
    if (address.host.empty() || portText.empty()) return std::nullopt;
    unsigned port = 0;
    const char* end = portText.data() + portText.size();
    const auto [stop, error] = std::from_chars(portText.data(), end, port);
    if (error != std::errc{} || stop != end || port == 0 || port > 65535) return std::nullopt;
    address.port = static_cast<std::uint16_t>(port);
    return address;
}

int connectStream(const NetworkAddress& address, const NetworkOptions& options, UniqueFd& out) {
    const auto deadline = Clock::now() + options.limit;
    addrinfo* found = nullptr;
    if (const int error = resolve(address, deadline, options, found); error != 0) return error;
    int error = kHostNotFound;
    for (const addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        error = connectOne(*ai, deadline, options, out);
        if (error == 0 || error == ETIMEDOUT || error == ECANCELED) break;
    }
    ::freeaddrinfo(found);
    return error;
}

bool connectionGone(int error) {
    return error != 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR;
}

std::uint32_t unsentBytes(int fd) {
    int queued = 0;
    if (::ioctl(fd, SIOCOUTQ, &queued) != 0 || queued < 0) return 0;
    return static_cast<std::uint32_t>(queued);
}

bool peerClosed(int fd) {
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if ((p.revents & (POLLERR | POLLHUP)) != 0) return true;
    std::uint8_t probe = 0;
    const ssize_t got = ::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0) return true;
    return got < 0 && connectionGone(errno);
}

}  // namespace kt6
