// Stream sockets on POSIX systems: connecting in steps that can be given up, and the calls the
// network transports make on a connected socket.
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
#include <cerrno>
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
    revents = ready > 0 ? p.revents : short{0};
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
               StreamSocket& out) {
    StreamSocket fd(
        ::socket(ai.ai_family, ai.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai.ai_protocol));
    if (!fd.valid()) return errno;
    if (::connect(static_cast<int>(fd.get()), ai.ai_addr, ai.ai_addrlen) != 0) {
        if (errno != EINPROGRESS && errno != EINTR) return errno;
        for (;;) {
            short revents = 0;
            if (const int error =
                    stepWait(static_cast<int>(fd.get()), POLLOUT, deadline, options, revents)) {
                return error;
            }
            if (revents != 0) break;
        }
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(static_cast<int>(fd.get()), SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
            return errno;
        }
        if (error != 0) return error;
    }
    // Frames are a few bytes each; waiting to fill a segment would only add delay.
    const int on = 1;
    ::setsockopt(static_cast<int>(fd.get()), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    const unsigned timeout = kUserTimeoutMs;
    ::setsockopt(static_cast<int>(fd.get()), IPPROTO_TCP, TCP_USER_TIMEOUT, &timeout,
                 sizeof timeout);
    out = std::move(fd);
    return 0;
}

int fdOf(const StreamSocket& socket) {
    return static_cast<int>(socket.get());
}

}  // namespace

int StreamSocket::reset() {
    if (!valid()) return 0;
    const int fd = static_cast<int>(release());
    return ::close(fd) == 0 ? 0 : errno;
}

int connectStream(const NetworkAddress& address, const NetworkOptions& options, StreamSocket& out) {
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

std::uint32_t unsentBytes(const StreamSocket& socket) {
    int queued = 0;
    if (::ioctl(fdOf(socket), SIOCOUTQ, &queued) != 0 || queued < 0) return 0;
    return static_cast<std::uint32_t>(queued);
}

bool peerClosed(const StreamSocket& socket) {
    pollfd p{fdOf(socket), POLLIN | POLLRDHUP, 0};
    if (::poll(&p, 1, 0) <= 0) return false;
    if ((p.revents & (POLLERR | POLLHUP)) != 0) return true;
    std::uint8_t probe = 0;
    const ssize_t got = ::recv(fdOf(socket), &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (got == 0) return true;
    return got < 0 && connectionGone(errno);
}

bool receivable(const StreamSocket& socket, std::uint32_t& bytes) {
    int in = 0;
    if (::ioctl(fdOf(socket), FIONREAD, &in) != 0) return false;
    bytes = in > 0 ? static_cast<std::uint32_t>(in) : 0;
    return true;
}

long receiveNow(const StreamSocket& socket, std::uint8_t* buffer, std::size_t n, int& error) {
    for (;;) {
        const ssize_t got = ::recv(fdOf(socket), buffer, n, MSG_DONTWAIT);
        if (got >= 0) return static_cast<long>(got);
        if (errno == EINTR) continue;
        error = errno == EAGAIN ? EWOULDBLOCK : errno;
        return -1;
    }
}

long sendNow(const StreamSocket& socket, const std::uint8_t* data, std::size_t n, int& error) {
    for (;;) {
        // MSG_NOSIGNAL: a dropped connection is an error code here, not a SIGPIPE that ends us.
        const ssize_t put = ::send(fdOf(socket), data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put >= 0) return static_cast<long>(put);
        if (errno == EINTR) continue;
        error = errno == EAGAIN ? EWOULDBLOCK : errno;
        return -1;
    }
}

bool waitSocket(const StreamSocket& socket, bool writable, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        const short events = static_cast<short>(POLLIN | POLLRDHUP | (writable ? POLLOUT : 0));
        pollfd p{fdOf(socket), events, 0};
        const int ready = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
        if (ready > 0) return true;
        if (ready == 0 || errno != EINTR) return false;
    }
}

}  // namespace kt6
