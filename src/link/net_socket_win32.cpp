// Stream sockets on Windows (Winsock 2): connecting in steps that can be given up, and the
// calls the network transports make on a connected socket. Winsock's error numbers are turned
// into errno's, so that the texts and the judgements above stay the same on every system.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "link/serial_network.h"

namespace kt6 {
namespace {

using Clock = std::chrono::steady_clock;

// How long one step of a wait may block before it asks whether the open was given up.
constexpr std::chrono::milliseconds kStep{15};
// Unacknowledged data older than this drops the connection (TCP_MAXRT, in seconds): the poll
// writes every 400 ms, so a cable pulled at the far end is noticed within seconds.
constexpr DWORD kMaxRetransmitSeconds = 10;
constexpr int kTcpMaxRt = 5;  // TCP_MAXRT of ws2ipdef.h, which MinGW's headers lack

// Winsock once for the whole program, before the first socket; never cleaned up, as the
// process's end does that.
bool winsockReady() {
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

int errnoOf(int wsa) {
    switch (wsa) {
        case 0:
            return 0;
        case WSAEWOULDBLOCK:
        case WSAEINPROGRESS:
        case WSAEALREADY:
            return EWOULDBLOCK;
        case WSAEINTR:
            return EINTR;
        case WSAECONNREFUSED:
            return ECONNREFUSED;
        case WSAETIMEDOUT:
            return ETIMEDOUT;
        case WSAEHOSTUNREACH:
        case WSAEHOSTDOWN:
            return EHOSTUNREACH;
        case WSAENETUNREACH:
        case WSAENETDOWN:
            return ENETUNREACH;
        case WSAECONNRESET:
        case WSAENETRESET:
            return ECONNRESET;
        case WSAECONNABORTED:
            return ECONNABORTED;
        case WSAESHUTDOWN:
        case WSAENOTCONN:
            return EPIPE;
        case WSAEADDRNOTAVAIL:
            return EADDRNOTAVAIL;
        case WSAENOBUFS:
            return ENOBUFS;
        case WSAENOTSOCK:
            return EBADF;
        default:
            return EIO;
    }
}

int lastError() {
    return errnoOf(::WSAGetLastError());
}

SOCKET handleOf(const StreamSocket& socket) {
    return static_cast<SOCKET>(socket.get());
}

bool givenUp(const NetworkOptions& options) {
    return options.cancelled && options.cancelled();
}

// Waits for one of the sets at most until the deadline: 1 ready, 0 not yet, -1 failed.
int selectOne(SOCKET s, bool read, bool write, std::chrono::milliseconds timeout) {
    fd_set reads;
    fd_set writes;
    fd_set errors;
    FD_ZERO(&reads);
    FD_ZERO(&writes);
    FD_ZERO(&errors);
    if (read) FD_SET(s, &reads);
    if (write) FD_SET(s, &writes);
    // A failed connect is reported in the error set, not the write set.
    FD_SET(s, &errors);
    const long ms = static_cast<long>(std::max<std::int64_t>(timeout.count(), 0));
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int ready = ::select(0, &reads, &writes, &errors, &tv);
    return ready == SOCKET_ERROR ? -1 : (ready > 0 ? 1 : 0);
}

// A lookup of a name (DNS, a hosts file) may take seconds; it runs on a thread of its own so
// that the open can be given up meanwhile. An abandoned lookup finishes into its own record.
struct Lookup {
    std::mutex mutex;
    bool done = false;
    int status = 0;
    addrinfo* result = nullptr;
    ~Lookup() {
        if (result) ::freeaddrinfo(result);
    }
};

int resolve(const NetworkAddress& address, Clock::time_point deadline,
            const NetworkOptions& options, addrinfo*& result) {
    const std::string service = std::to_string(address.port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
    if (::getaddrinfo(address.host.c_str(), service.c_str(), &hints, &result) == 0) return 0;

    auto lookup = std::make_shared<Lookup>();
    try {
        std::thread([lookup, host = address.host, service] {
            addrinfo named{};
            named.ai_family = AF_UNSPEC;
            named.ai_socktype = SOCK_STREAM;
            named.ai_flags = AI_NUMERICSERV;
            addrinfo* found = nullptr;
            const int status = ::getaddrinfo(host.c_str(), service.c_str(), &named, &found);
            const std::lock_guard<std::mutex> lock(lookup->mutex);
            lookup->status = status;
            lookup->result = found;
            lookup->done = true;
        }).detach();
    } catch (const std::system_error&) {
        return kHostNotFound;
    }
    for (;;) {
        {
            const std::lock_guard<std::mutex> lock(lookup->mutex);
            if (lookup->done) {
                if (lookup->status != 0) return kHostNotFound;
                result = std::exchange(lookup->result, nullptr);
                return 0;
            }
        }
        if (Clock::now() >= deadline) return ETIMEDOUT;
        std::this_thread::sleep_for(kStep);
        if (givenUp(options)) return ECANCELED;
    }
}

int connectOne(const addrinfo& ai, Clock::time_point deadline, const NetworkOptions& options,
               StreamSocket& out) {
    // Not inheritable: no program we start can hold the connection after we let go.
    StreamSocket socket(static_cast<StreamSocket::Native>(::WSASocketW(
        ai.ai_family, ai.ai_socktype, ai.ai_protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT)));
    if (!socket.valid()) return lastError();
    const SOCKET s = handleOf(socket);
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return lastError();
    if (::connect(s, ai.ai_addr, static_cast<int>(ai.ai_addrlen)) != 0) {
        const int error = lastError();
        if (error != EWOULDBLOCK) return error;
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return ETIMEDOUT;
            const int ready = selectOne(s, false, true, std::min(left, kStep));
            if (givenUp(options)) return ECANCELED;
            if (ready < 0) return lastError();
            if (ready > 0) break;
        }
        int failure = 0;
        int size = sizeof failure;
        if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&failure), &size) != 0) {
            return lastError();
        }
        if (failure != 0) return errnoOf(failure);
    }
    // Frames are a few bytes each; waiting to fill a segment would only add delay.
    const BOOL on = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    const DWORD seconds = kMaxRetransmitSeconds;
    ::setsockopt(s, IPPROTO_TCP, kTcpMaxRt, reinterpret_cast<const char*>(&seconds),
                 sizeof seconds);
    out = std::move(socket);
    return 0;
}

}  // namespace

int StreamSocket::reset() {
    if (!valid()) return 0;
    const SOCKET s = static_cast<SOCKET>(release());
    return ::closesocket(s) == 0 ? 0 : lastError();
}

int connectStream(const NetworkAddress& address, const NetworkOptions& options, StreamSocket& out) {
    if (!winsockReady()) return ENETUNREACH;
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

// Windows does not tell how much of a socket's output is still unsent.
std::uint32_t unsentBytes(const StreamSocket&) {
    return 0;
}

bool peerClosed(const StreamSocket& socket) {
    const SOCKET s = handleOf(socket);
    const int ready = selectOne(s, true, false, std::chrono::milliseconds(0));
    if (ready < 0) return true;
    if (ready == 0) return false;
    char probe = 0;
    const int got = ::recv(s, &probe, 1, MSG_PEEK);
    if (got == 0) return true;
    return got < 0 && connectionGone(lastError());
}

bool receivable(const StreamSocket& socket, std::uint32_t& bytes) {
    u_long in = 0;
    if (::ioctlsocket(handleOf(socket), FIONREAD, &in) != 0) return false;
    bytes = static_cast<std::uint32_t>(in);
    return true;
}

long receiveNow(const StreamSocket& socket, std::uint8_t* buffer, std::size_t n, int& error) {
    const int want = static_cast<int>(std::min<std::size_t>(n, 1 << 30));
    const int got = ::recv(handleOf(socket), reinterpret_cast<char*>(buffer), want, 0);
    if (got >= 0) return got;
    error = lastError();
    return -1;
}

long sendNow(const StreamSocket& socket, const std::uint8_t* data, std::size_t n, int& error) {
    const int want = static_cast<int>(std::min<std::size_t>(n, 1 << 30));
    const int put = ::send(handleOf(socket), reinterpret_cast<const char*>(data), want, 0);
    if (put >= 0) return put;
    error = lastError();
    return -1;
}

bool waitSocket(const StreamSocket& socket, bool writable, std::chrono::milliseconds timeout) {
    return selectOne(handleOf(socket), true, writable, timeout) > 0;
}

}  // namespace kt6
