// Chooses the transport of each port by its path: a device path opens the platform's serial
// device, tcp:// and rfc2217:// a network serial server. comm32 and everything above it see
// one SerialBackend whatever the transport.
#include <cerrno>

#include "link/serial_network.h"

namespace kt6 {
namespace {

class DispatchingSerialBackend final : public SerialBackend {
  public:
    explicit DispatchingSerialBackend(NetworkOptions options) : options_(std::move(options)) {}

    int open(const std::string& path) override {
        if (active_ && active_->isOpen()) active_->close();
        active_ = make(path);
        return active_->open(path);
    }

    int close() override {
        if (!active_) return EBADF;
        return active_->close();
    }

    bool isOpen() const override { return active_ && active_->isOpen(); }
    bool lost() const override { return active_ && active_->lost(); }
    std::intptr_t readinessHandle() const override {
        return active_ ? active_->readinessHandle() : -1;
    }
    void* readinessEvent() const override { return active_ ? active_->readinessEvent() : nullptr; }
    std::uint32_t transmitQueueSize() override {
        return active_ ? active_->transmitQueueSize() : 0;
    }

    int configure(const LineSettings& settings) override {
        if (!active_) return EBADF;
        return active_->configure(settings);
    }

    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        return active_ && active_->queueCounts(input, output);
    }
    long read(std::uint8_t* buffer, std::size_t n) override {
        return active_ ? active_->read(buffer, n) : -1;
    }
    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        written = 0;
        return active_ ? active_->write(data, n, written) : EBADF;
    }
    bool waitReadable(std::chrono::milliseconds timeout) override {
        return active_ && active_->waitReadable(timeout);
    }

  private:
    std::unique_ptr<SerialBackend> make(const std::string& path) const {
        if (const auto address = parseNetworkAddress(path)) {
            if (address->scheme == "rfc2217") return makeRfc2217SerialBackend(options_);
            return makeTcpSerialBackend(options_);
        }
        // A tcp:// or rfc2217:// path that does not parse still goes to the network backend,
        // which says what is wrong with it rather than looking for a device of that name.
        if (isNetworkPort(path)) return makeTcpSerialBackend(options_);
        return makePlatformSerialBackend();
    }

    NetworkOptions options_;
    std::unique_ptr<SerialBackend> active_;
};

}  // namespace

std::unique_ptr<SerialBackend> makeSerialBackend(NetworkOptions options) {
    return std::make_unique<DispatchingSerialBackend>(std::move(options));
}

}  // namespace kt6
