// A serial port behind a network serial server's raw TCP accepter: the stream carries the
// line's bytes unchanged, and the server sets the line itself.
#include <algorithm>
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
        StreamSocket fd;
        if (const int error = connectStream(*address, options_, fd); error != 0) return error;
        fd_ = std::move(fd);
        lost_ = false;
        return 0;
    }

    int close() override {
        if (!fd_.valid()) return EBADF;
        lost_ = false;
        return fd_.reset();
    }

    bool isOpen() const override { return fd_.valid(); }
    std::intptr_t readinessHandle() const override { return fd_.valid() ? fd_.get() : -1; }
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
            int error = 0;
            const long got = receiveNow(fd_, sink, sizeof sink, error);
            if (got > 0) continue;
            if (got == 0 || connectionGone(error)) return markLost(got == 0 ? ECONNRESET : error);
            return 0;
        }
    }

    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        if (!fd_.valid() || lost_) return false;
        std::uint32_t in = 0;
        if (!receivable(fd_, in)) return false;
        // An ended connection counts nothing forever; only a look at the socket tells.
        if (in == 0 && peerClosed(fd_)) {
            markLost(ECONNRESET);
            return false;
        }
        input = in;
        output = unsentBytes(fd_);
        return true;
    }

    long read(std::uint8_t* buffer, std::size_t n) override {
        if (!fd_.valid() || lost_) return -1;
        int error = 0;
        const long got = receiveNow(fd_, buffer, n, error);
        if (got > 0) return got;
        if (got == 0) {
            markLost(ECONNRESET);
            return -1;
        }
        if (error == EWOULDBLOCK) return 0;
        markLost(error);
        return -1;
    }

    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        written = 0;
        if (!fd_.valid()) return EBADF;
        if (lost_) return ECONNRESET;
        int error = 0;
        const long put = sendNow(fd_, data, n, error);
        if (put >= 0) {
            written = static_cast<std::size_t>(put);
            return 0;
        }
        // A full socket buffer is a short write, not a failure of the port.
        if (error == EWOULDBLOCK) return 0;
        return markLost(error);
    }

    bool waitReadable(std::chrono::milliseconds timeout) override {
        using Clock = std::chrono::steady_clock;
        if (!fd_.valid()) return false;
        const auto deadline = Clock::now() + timeout;
        while (!lost_) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (!waitSocket(fd_, false, std::max(left, std::chrono::milliseconds(0)))) {
                return false;
            }
            std::uint32_t in = 0;
            if (receivable(fd_, in) && in > 0) return true;
            if (peerClosed(fd_)) markLost(ECONNRESET);
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
    StreamSocket fd_;
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<SerialBackend> makeTcpSerialBackend(NetworkOptions options) {
    return std::make_unique<TcpSerialBackend>(std::move(options));
}

}  // namespace kt6
