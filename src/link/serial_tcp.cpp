// A serial port behind a network serial server's raw TCP accepter: the stream carries the
// line's bytes unchanged, and the server sets the line itself.
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <thread>

#include "link/serial_network.h"

namespace kt6 {
namespace {

class TcpSerialBackend final : public SerialBackend {
  public:
    explicit TcpSerialBackend(NetworkOptions options) : options_(std::move(options)) {}

    int open(const std::string& path) override {
        close();
        const auto address = parseNetworkAddress(path);
        if (!address) return kBadNetworkAddress;
        UniqueFd fd;
        if (const int error = connectStream(*address, options_, fd); error != 0) return error;
        fd_ = std::move(fd);
        lost_ = false;
        return 0;
    }

    int close() override {
        if (!fd_.valid()) return EBADF;
        lost_ = false;
        if (::close(fd_.release()) != 0) return errno;
        return 0;
    }

    bool isOpen() const override { return fd_.valid(); }
    int readinessHandle() const override { return fd_.valid() ? fd_.get() : -1; }
    bool lost() const override { return lost_; }

    // The socket's buffer is far larger than any frame; the default queue size serves.
    std::uint32_t transmitQueueSize() override { return 0; }

    // The server holds the line settings (its connector's speed, parity and handshake);
    // what is left to do here is to drop what arrived before.
    int configure(const LineSettings&) override {
        if (!fd_.valid()) return EBADF;
        if (lost_) return ECONNRESET;
        std::uint8_t sink[512];
        for (;;) {
            const ssize_t got = ::recv(fd_.get(), sink, sizeof sink, MSG_DONTWAIT);
            if (got > 0) continue;
            if (got == 0 || connectionGone(errno)) return markLost(got == 0 ? ECONNRESET : errno);
            return 0;
        }
    }

    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        if (!fd_.valid() || lost_) return false;
        int in = 0;
        if (::ioctl(fd_.get(), FIONREAD, &in) != 0) return false;
        // An ended connection counts nothing forever; only a look at the socket tells.
        if (in == 0 && peerClosed(fd_.get())) {
            markLost(ECONNRESET);
            return false;
        }
        input = in > 0 ? static_cast<std::uint32_t>(in) : 0;
        output = unsentBytes(fd_.get());
        return true;
    }

    long read(std::uint8_t* buffer, std::size_t n) override {
        if (!fd_.valid() || lost_) return -1;
        for (;;) {
            const ssize_t got = ::recv(fd_.get(), buffer, n, MSG_DONTWAIT);
            if (got > 0) return static_cast<long>(got);
            if (got == 0) {
                markLost(ECONNRESET);
                return -1;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            markLost(errno);
            return -1;
        }
    }

    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        written = 0;
        if (!fd_.valid()) return EBADF;
        if (lost_) return ECONNRESET;
        // MSG_NOSIGNAL: a dropped connection is an error code here, not a SIGPIPE that ends us.
        const ssize_t put = ::send(fd_.get(), data, n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (put >= 0) {
            written = static_cast<std::size_t>(put);
            return 0;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
        return markLost(errno);
    }

    bool waitReadable(std::chrono::milliseconds timeout) override {
        using Clock = std::chrono::steady_clock;
        if (!fd_.valid()) return false;
        const auto deadline = Clock::now() + timeout;
        while (!lost_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{fd_.get(), POLLIN | POLLRDHUP, 0};
            const int ready = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
            if (ready == 0) return false;
            if (ready < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            int in = 0;
            if (::ioctl(fd_.get(), FIONREAD, &in) == 0 && in > 0) return true;
            if (peerClosed(fd_.get())) markLost(ECONNRESET);
        }
        // Nothing more will come; a retrying exchange must not spin on the dead socket.
        std::this_thread::sleep_until(deadline);
        return false;
    }

  private:
    int markLost(int error) {
        lost_ = true;
        return error;
    }

    NetworkOptions options_;
    UniqueFd fd_;
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<SerialBackend> makeTcpSerialBackend(NetworkOptions options) {
    return std::make_unique<TcpSerialBackend>(std::move(options));
}

}  // namespace kt6
