// A serial port behind a network serial server's RFC 2217 accepter: Telnet carries the line's
// bytes (0xFF doubled) and the COM-PORT-OPTION commands that set the remote line, so the
// console sets speed, framing, handshake and DTR there as it does on a local port.
#include <algorithm>
#include <cerrno>
#include <deque>
#include <thread>

#include "link/serial_network.h"
#include "link/telnet_codec.h"

namespace kt6 {
namespace {

using Clock = std::chrono::steady_clock;

// How long one step of a wait may block before it asks whether the open was given up.
constexpr std::chrono::milliseconds kStep{15};
// Received data is held here until read; a console that stops reading must not make it grow
// without end, so the socket is left to hold the rest.
constexpr std::size_t kMaxBuffered = std::size_t{64} * 1024;

class Rfc2217SerialBackend final : public SerialBackend {
  public:
    explicit Rfc2217SerialBackend(NetworkOptions options) : options_(std::move(options)) {}

    int open(const std::string& path) override {
        close();
        const auto address = parseNetworkAddress(path);
        if (!address) return kBadNetworkAddress;
        StreamSocket fd;
        if (const int error = connectStream(*address, options_, fd); error != 0) return error;
        fd_ = std::move(fd);
        lost_ = false;
        codec_ = TelnetCodec{};
        data_.clear();
        pendingOut_ = codec_.start();
        flush();
        // A server that will not set the line (a plain Telnet or raw accepter) would leave the
        // controller at whatever speed it has: better to say so now than to poll in vain.
        const int waited =
            waitUntil([this] { return codec_.portControlAgreed() || codec_.portControlRefused(); });
        if (lost_) return reset(ECONNRESET);
        if (waited == ECANCELED) return reset(ECANCELED);
        if (!codec_.portControlAgreed()) return reset(kNoPortControl);
        return 0;
    }

    int close() override {
        if (!fd_.valid()) return EBADF;
        lost_ = false;
        data_.clear();
        pendingOut_.clear();
        return fd_.reset();
    }

    bool isOpen() const override { return fd_.valid(); }
    std::intptr_t readinessHandle() const override { return fd_.valid() ? fd_.get() : -1; }
    bool lost() const override { return lost_; }
    std::uint32_t transmitQueueSize() override { return 0; }

    int configure(const LineSettings& settings) override {
        if (!fd_.valid()) return EBADF;
        if (lost_) return ECONNRESET;
        codec_.forgetAnswers();
        Bytes commands = codec_.lineSettingsCommands(settings);
        const Bytes purge = TelnetCodec::command(telnet::PURGE_DATA, {3});
        commands.insert(commands.end(), purge.begin(), purge.end());
        pendingOut_.insert(pendingOut_.end(), commands.begin(), commands.end());
        flush();
        // The server answers each setting with the value the line now has.
        const int waited = waitUntil([this] {
            return codec_.answer(telnet::SET_BAUDRATE) && codec_.answer(telnet::SET_DATASIZE) &&
                   codec_.answer(telnet::SET_STOPSIZE) && codec_.answer(telnet::PURGE_DATA);
        });
        if (lost_) return ECONNRESET;
        if (waited != 0) return waited;
        const Bytes speed = *codec_.answer(telnet::SET_BAUDRATE);
        const Bytes size = *codec_.answer(telnet::SET_DATASIZE);
        if (speed.size() != 4 || size.size() != 1 || size[0] != settings.dataBits ||
            ((std::uint32_t{speed[0]} << 24) | (std::uint32_t{speed[1]} << 16) |
             (std::uint32_t{speed[2]} << 8) | speed[3]) != settings.speed) {
            return kLineSettingsRefused;
        }
        // Whatever arrived before the purge belongs to the line as it was.
        data_.clear();
        return 0;
    }

    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        if (!fd_.valid() || lost_) return false;
        pump();
        if (lost_) return false;
        input = static_cast<std::uint32_t>(data_.size());
        output = unsentBytes(fd_) + static_cast<std::uint32_t>(pendingOut_.size());
        return true;
    }

    long read(std::uint8_t* buffer, std::size_t n) override {
        if (!fd_.valid()) return -1;
        if (data_.empty()) pump();
        if (data_.empty()) return lost_ ? -1 : 0;
        std::size_t count = 0;
        while (count < n && !data_.empty()) {
            buffer[count++] = data_.front();
            data_.pop_front();
        }
        return static_cast<long>(count);
    }

    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        written = 0;
        if (!fd_.valid()) return EBADF;
        if (lost_) return ECONNRESET;
        codec_.encodeData(data, n, pendingOut_);
        if (const int error = flush(); error != 0) return error;
        // What the socket did not take yet is queued here and counted as waiting to be sent.
        written = n;
        return 0;
    }

    bool waitReadable(std::chrono::milliseconds timeout) override {
        if (!fd_.valid()) return false;
        const auto deadline = Clock::now() + timeout;
        while (!lost_) {
            pump();
            if (!data_.empty()) return true;
            if (lost_) break;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) return false;
            if (!waitSocket(fd_, !pendingOut_.empty(), left)) return false;
        }
        // Nothing more will come; a retrying exchange must not spin on the dead socket.
        std::this_thread::sleep_until(deadline);
        return false;
    }

  private:
    int reset(int error) {
        close();
        return error;
    }

    // Takes what the server sent, answers its negotiation and sends what is queued.
    void pump() {
        std::uint8_t buffer[1024];
        while (!lost_ && data_.size() < kMaxBuffered) {
            int error = 0;
            const long got = receiveNow(fd_, buffer, sizeof buffer, error);
            if (got > 0) {
                Bytes decoded;
                codec_.receive(buffer, static_cast<std::size_t>(got), decoded);
                data_.insert(data_.end(), decoded.begin(), decoded.end());
                continue;
            }
            if (got == 0) {
                lost_ = true;
            } else {
                if (connectionGone(error)) lost_ = true;
                break;
            }
        }
        const Bytes answers = codec_.takeOutput();
        pendingOut_.insert(pendingOut_.end(), answers.begin(), answers.end());
        flush();
    }

    // 0, or the error that ended the connection.
    int flush() {
        while (!pendingOut_.empty() && !lost_) {
            int error = 0;
            const long put = sendNow(fd_, pendingOut_.data(), pendingOut_.size(), error);
            if (put > 0) {
                pendingOut_.erase(pendingOut_.begin(), pendingOut_.begin() + put);
                continue;
            }
            if (put < 0 && connectionGone(error)) {
                lost_ = true;
                return error;
            }
            break;
        }
        return lost_ ? ECONNRESET : 0;
    }

    // Pumps until done() holds (0), the connection drops (ECONNRESET), the time limit passes
    // (ETIMEDOUT) or the open is given up (ECANCELED).
    template <typename Done>
    int waitUntil(Done done) {
        const auto deadline = Clock::now() + options_.limit;
        for (;;) {
            pump();
            if (done()) return 0;
            if (lost_) return ECONNRESET;
            if (Clock::now() >= deadline) return ETIMEDOUT;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            waitSocket(fd_, false, std::min(left, kStep));
            if (options_.cancelled && options_.cancelled()) return ECANCELED;
        }
    }

    NetworkOptions options_;
    StreamSocket fd_;
    bool lost_ = false;
    TelnetCodec codec_;
    std::deque<std::uint8_t> data_;
    Bytes pendingOut_;
};

}  // namespace

std::unique_ptr<SerialBackend> makeRfc2217SerialBackend(NetworkOptions options) {
    return std::make_unique<Rfc2217SerialBackend>(std::move(options));
}

}  // namespace kt6
