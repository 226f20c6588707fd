#pragma once
// Serial ports on the network: a COM mapping of tcp://HOST:PORT (a raw byte stream, as a
// serial server's plain TCP accepter gives it) or rfc2217://HOST:PORT (Telnet with serial
// port control, so the console sets the remote line as it sets a local one).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/serial_backend.h"

namespace kt6 {

// Errors of network ports that have no system error code of their own.
inline constexpr int kHostNotFound = -20;
inline constexpr int kBadNetworkAddress = -21;
inline constexpr int kNoPortControl = -22;
inline constexpr int kLineSettingsRefused = -23;

struct NetworkOptions {
    // Asked between the steps of a lookup, a connect or a negotiation (15 ms apart at most):
    // true gives the open up with ECANCELED, its socket closed. An open given up in the
    // background so lets go of the server at once rather than when its time runs out.
    std::function<bool()> cancelled;
    // Connecting and, for RFC 2217, the option exchange each give up after this long.
    std::chrono::milliseconds limit{3000};
};

struct NetworkAddress {
    std::string scheme;  // "tcp" or "rfc2217", lower case
    std::string host;    // without the brackets of an IPv6 literal
    std::uint16_t port = 0;
    // host:port as the operator wrote it, for messages.
    std::string label() const;
};

// True when the path names a network port (tcp:// or rfc2217://, any case).
bool isNetworkPort(std::string_view path);
// The parts of a network port; nothing when the text is not a well-formed one.
std::optional<NetworkAddress> parseNetworkAddress(std::string_view path);

// One stream socket of the system's (a file descriptor, or a Winsock SOCKET), closed when
// dropped, so that no early return can leak it. Its calls are in net_socket_posix.cpp and
// net_socket_win32.cpp; their error codes are errno's on every system (ECONNREFUSED,
// ETIMEDOUT, ...), so one set of texts serves both.
class StreamSocket {
  public:
    using Native = std::intptr_t;
    static constexpr Native kNone = -1;

    StreamSocket() = default;
    explicit StreamSocket(Native socket) : socket_(socket) {}
    ~StreamSocket() { reset(); }
    StreamSocket(StreamSocket&& other) noexcept : socket_(other.release()) {}
    StreamSocket& operator=(StreamSocket&& other) noexcept {
        if (this != &other) {
            reset();
            socket_ = other.release();
        }
        return *this;
    }
    StreamSocket(const StreamSocket&) = delete;
    StreamSocket& operator=(const StreamSocket&) = delete;

    Native get() const { return socket_; }
    bool valid() const { return socket_ != kNone; }
    Native release() {
        const Native socket = socket_;
        socket_ = kNone;
        return socket;
    }
    // Closes the socket; 0, or the error of the close (the socket is gone either way).
    int reset();

  private:
    Native socket_ = kNone;
};

// Resolves and connects, asking options.cancelled every few milliseconds; non-blocking,
// TCP_NODELAY on. 0 with the socket in out, or the error.
int connectStream(const NetworkAddress& address, const NetworkOptions& options, StreamSocket& out);

// Errors on a connected stream that mean the connection is gone for good.
bool connectionGone(int error);
// Bytes the system still holds to send on the socket; 0 when it does not tell.
std::uint32_t unsentBytes(const StreamSocket& socket);
// True when the peer has closed or reset the connection and nothing is left to read.
bool peerClosed(const StreamSocket& socket);
// Bytes received and not read yet; false when the socket cannot tell.
bool receivable(const StreamSocket& socket, std::uint32_t& bytes);
// Takes what has arrived, without waiting: the count, 0 once the peer has closed, or -1 with
// the error (EWOULDBLOCK: nothing yet).
long receiveNow(const StreamSocket& socket, std::uint8_t* buffer, std::size_t n, int& error);
// Sends what the socket takes now, and never raises a signal for a dropped connection: the
// count, or -1 with the error (EWOULDBLOCK: no room yet).
long sendNow(const StreamSocket& socket, const std::uint8_t* data, std::size_t n, int& error);
// Waits up to the timeout until the socket has input or has hung up, or, with writable, also
// until it takes output; true when one of them holds.
bool waitSocket(const StreamSocket& socket, bool writable, std::chrono::milliseconds timeout);

std::unique_ptr<SerialBackend> makeTcpSerialBackend(NetworkOptions options);
std::unique_ptr<SerialBackend> makeRfc2217SerialBackend(NetworkOptions options);

// The backend for any port path: the platform's for device paths, a network transport for
// tcp:// and rfc2217://, chosen anew at every open.
std::unique_ptr<SerialBackend> makeSerialBackend(NetworkOptions options = {});

}  // namespace kt6
