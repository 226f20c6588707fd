#include "link/serial_win32_logic.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace kt6::win32 {
namespace {

constexpr std::uint8_t kNoParity = 0;
constexpr std::uint8_t kOddParity = 1;
constexpr std::uint8_t kEvenParity = 2;
constexpr std::uint8_t kMarkParity = 3;
constexpr std::uint8_t kSpaceParity = 4;
constexpr std::uint8_t kOneStopBit = 0;
constexpr std::uint8_t kTwoStopBits = 2;
constexpr std::uint8_t kDtrControlEnable = 1;

char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

class Win32SerialBackend final : public SerialBackend {
  public:
    explicit Win32SerialBackend(std::unique_ptr<CommApi> api) : api_(std::move(api)) {}
    ~Win32SerialBackend() override {
        if (open_) close();
    }
    Win32SerialBackend(const Win32SerialBackend&) = delete;
    Win32SerialBackend& operator=(const Win32SerialBackend&) = delete;

    int open(const std::string& path) override {
        if (open_) close();
        lost_ = false;
        const std::uint32_t error = api_->open(path);
        if (error != 0) return static_cast<int>(error);
        open_ = true;
        eventWorks_ = true;
        ahead_.clear();
        api_->setupComm(kQueueSize, kQueueSize);
        return 0;
    }

    int close() override {
        if (!open_) return static_cast<int>(kErrorInvalidHandle);
        open_ = false;
        lost_ = false;
        ahead_.clear();
        return static_cast<int>(api_->close());
    }

    bool isOpen() const override { return open_; }
    bool lost() const override { return lost_; }
    // Nothing to watch once the device proved it cannot signal input: the loop's timer looks.
    void* readinessEvent() const override {
        return open_ && eventWorks_ ? api_->inputEvent() : nullptr;
    }

    // The low 16 bits are comm32's; a driver that reports 0 gets the default there.
    std::uint32_t transmitQueueSize() override { return open_ ? api_->currentTxQueue() : 0; }

    int configure(const LineSettings& settings) override {
        if (!open_) return static_cast<int>(kErrorInvalidHandle);
        CommState state;
        // A failed read leaves the zeroes: the fields set below are the ones that matter.
        api_->getState(state);
        if (const std::uint32_t error = api_->setState(applyLineSettings(state, settings))) {
            return failed(error);
        }
        api_->setReadAtOnce();
        api_->purge(kPurgeAll);
        ahead_.clear();
        return 0;
    }

    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        if (!open_ || lost_) return false;
        std::uint32_t in = 0;
        std::uint32_t out = 0;
        if (const std::uint32_t error = api_->clearError(in, out)) {
            failed(error);
            return false;
        }
        input = in + static_cast<std::uint32_t>(ahead_.size());
        output = out;
        return true;
    }

    long read(std::uint8_t* buffer, std::size_t n) override {
        if (!open_ || lost_) return -1;
        if (!ahead_.empty()) {
            const std::size_t count = std::min(n, ahead_.size());
            std::copy_n(ahead_.begin(), count, buffer);
            ahead_.erase(ahead_.begin(), ahead_.begin() + static_cast<std::ptrdiff_t>(count));
            return static_cast<long>(count);
        }
        std::size_t got = 0;
        if (const std::uint32_t error = api_->read(buffer, n, got)) {
            failed(error);
            return -1;
        }
        return static_cast<long>(got);
    }

    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        written = 0;
        if (!open_) return static_cast<int>(kErrorInvalidHandle);
        std::size_t put = 0;
        if (const std::uint32_t error = api_->write(data, n, put)) return failed(error);
        written = put;
        return 0;
    }

    bool waitReadable(std::chrono::milliseconds timeout) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + timeout;
        while (open_ && !lost_) {
            std::uint32_t in = 0;
            std::uint32_t out = 0;
            if (!queueCounts(in, out)) break;
            if (in > 0) return true;
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (!eventWorks_) return readAhead(left);
            if (const std::uint32_t error = api_->armInputWait()) {
                if (waitRefused(error)) continue;
                failed(error);
                break;
            }
            // A byte may have come between the count and the arming, and EV_RXCHAR only
            // reports bytes that arrive after it: look once more before sleeping on it.
            if (!queueCounts(in, out)) break;
            if (in > 0) {
                api_->signalInputEvent();
                return true;
            }
            if (left.count() <= 0 || !api_->waitInputEvent(left)) return false;
        }
        // Nothing can arrive, but a waiting exchange must still take its time.
        std::this_thread::sleep_until(deadline);
        return false;
    }

  private:
    // A wait for input ended as aborted while the port still answers: the device cannot
    // report line events (Wine's serial layer gives up every WaitCommEvent on a device
    // without modem lines, such as a pseudo-terminal). Waits become blocking reads instead.
    bool waitRefused(std::uint32_t error) {
        if (error != kErrorOperationAborted) return false;
        std::uint32_t in = 0;
        std::uint32_t out = 0;
        if (api_->clearError(in, out) != 0) return false;
        eventWorks_ = false;
        return true;
    }

    // Waits in ReadFile itself for the first byte; what it reads is held for read().
    bool readAhead(std::chrono::milliseconds timeout) {
        if (timeout.count() <= 0) return false;
        std::uint8_t buffer[kReadAheadChunk];
        std::size_t got = 0;
        if (const std::uint32_t error = api_->readWaiting(buffer, sizeof buffer, timeout, got)) {
            failed(error);
            return false;
        }
        ahead_.insert(ahead_.end(), buffer, buffer + got);
        return got > 0;
    }

    static constexpr std::size_t kReadAheadChunk = 4096;

    int failed(std::uint32_t error) {
        if (isDeviceGone(error)) lost_ = true;
        return static_cast<int>(error);
    }

    std::unique_ptr<CommApi> api_;
    bool open_ = false;
    bool lost_ = false;
    // False once the device showed that it cannot wait for line events.
    bool eventWorks_ = true;
    // Bytes a waiting read took, handed out before the driver's.
    Bytes ahead_;
};

}  // namespace

std::string comDevicePath(int n) {
    return "\\\\.\\COM" + std::to_string(n);
}

bool isDeviceGone(std::uint32_t error) {
    switch (error) {
        case kErrorAccessDenied:
        case kErrorBadCommand:
        case kErrorGenFailure:
        case kErrorOperationAborted:
        case kErrorDeviceNotConnected:
        case kErrorDeviceRemoved:
            return true;
        default:
            return false;
    }
}

CommState applyLineSettings(CommState state, const LineSettings& settings) {
    state.baudRate = settings.speed;
    switch (upper(settings.parity)) {
        case 'E':
            state.parity = kEvenParity;
            break;
        case 'M':
            state.parity = kMarkParity;
            break;
        case 'N':
            state.parity = kNoParity;
            break;
        case 'O':
            state.parity = kOddParity;
            break;
        case 'S':
            state.parity = kSpaceParity;
            break;
        default:
            break;
    }
    state.byteSize = settings.dataBits;
    state.stopBits = settings.stopBits == 2 ? kTwoStopBits : kOneStopBit;

    state.binary = true;
    state.parityCheck = true;
    state.dtrControl = kDtrControlEnable;
    state.txContinueOnXoff = true;
    state.outxCtsFlow = false;
    state.outxDsrFlow = false;
    state.dsrSensitivity = false;
    state.errorChar = false;
    state.abortOnError = false;
    state.xonLim = 256;
    state.xoffLim = 1024;
    state.errorCharValue = '?';

    const auto software = [&](bool on) { state.outX = state.inX = on; };
    switch (upper(settings.flow)) {
        case 'B':
            state.outxCtsFlow = state.outxDsrFlow = true;
            software(true);
            break;
        case 'H':
            state.outxCtsFlow = state.outxDsrFlow = true;
            break;
        case 'N':  // its CTS and DSR output flow is off already, as above
        case 'S':
            software(false);
            break;
        case 'X':
            software(true);
            break;
        default:
            break;
    }
    return state;
}

std::unique_ptr<SerialBackend> makeSerialBackend(std::unique_ptr<CommApi> api) {
    return std::make_unique<Win32SerialBackend>(std::move(api));
}

}  // namespace kt6::win32
