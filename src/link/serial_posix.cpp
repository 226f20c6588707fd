// The serial backend on POSIX systems: termios for the line, ioctl for the queues and DTR,
// poll for waiting. comm32.cpp holds the port logic; serial_win32.cpp is the Windows one.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <thread>
#include <utility>

#include "link/serial_backend.h"
#include "link/unique_fd.h"

namespace kt6 {
namespace {

#ifdef CMSPAR
constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kStickParity = CMSPAR;
#else
constexpr tcflag_t kParityBits = PARENB | PARODD;
constexpr tcflag_t kStickParity = 0;
#endif

#ifdef CRTSCTS
constexpr tcflag_t kHardwareFlow = CRTSCTS;
#else
constexpr tcflag_t kHardwareFlow = 0;
#endif

constexpr tcflag_t kSoftwareFlow = IXON | IXOFF;

// Errors that mean the device itself is gone (an adapter unplugged, the far end of a
// pseudo-terminal closed), not that one call failed.
bool isDeviceGone(int error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

bool speedCode(std::uint32_t speed, speed_t& code) {
    struct Entry {
        std::uint32_t bps;
        speed_t code;
    };
    static constexpr Entry kSpeeds[] = {
        {50, B50},         {75, B75},         {110, B110},       {134, B134},     {150, B150},
        {200, B200},       {300, B300},       {600, B600},       {1200, B1200},   {1800, B1800},
        {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200}, {38400, B38400},
        {57600, B57600},   {115200, B115200}, {230400, B230400},
#ifdef B460800
        {460800, B460800},
#endif
#ifdef B921600
        {921600, B921600},
#endif
    };
    for (const auto& e : kSpeeds) {
        if (e.bps == speed) {
            code = e.code;
            return true;
        }
    }
    return false;
}

bool dataBitsFlag(std::uint8_t bits, tcflag_t& flag) {
    switch (bits) {
        case 5:
            flag = CS5;
            return true;
        case 6:
            flag = CS6;
            return true;
        case 7:
            flag = CS7;
            return true;
        case 8:
            flag = CS8;
            return true;
        default:
            return false;
    }
}

// Parity by letter; any letter other than E, O, M, S and N keeps what tio already holds.
// False when the letter asks for a parity this system cannot give.
bool applyParity(char letter, termios& tio) {
    tcflag_t bits = 0;
    switch (std::toupper(static_cast<unsigned char>(letter))) {
        case 'N':
            bits = 0;
            break;
        case 'E':
            bits = PARENB;
            break;
        case 'O':
            bits = PARENB | PARODD;
            break;
        case 'M':
            if (kStickParity == 0) return false;
            bits = PARENB | kStickParity | PARODD;
            break;
        case 'S':
            if (kStickParity == 0) return false;
            bits = PARENB | kStickParity;
            break;
        default:
            return true;
    }
    tio.c_cflag = (tio.c_cflag & ~kParityBits) | bits;
    return true;
}

// Flow by letter, over a base with CTS flow off and XON/XOFF as the driver had it. There is no
// DSR output flow in termios; CTS flow is the whole of the hardware handshake here.
bool applyFlow(char letter, termios& tio) {
    switch (std::toupper(static_cast<unsigned char>(letter))) {
        case 'B':
            if (kHardwareFlow == 0) return false;
            tio.c_cflag |= kHardwareFlow;
            tio.c_iflag |= kSoftwareFlow;
            break;
        case 'H':
            if (kHardwareFlow == 0) return false;
            tio.c_cflag |= kHardwareFlow;
            break;
        case 'N':
            tio.c_cflag &= ~kHardwareFlow;
            tio.c_iflag &= ~kSoftwareFlow;
            break;
        case 'S':
            tio.c_iflag &= ~kSoftwareFlow;
            break;
        case 'X':
            tio.c_iflag |= kSoftwareFlow;
            break;
        default:
            break;
    }
    return true;
}

class PosixSerialBackend final : public SerialBackend {
  public:
    PosixSerialBackend() = default;
    ~PosixSerialBackend() override {
        if (fd_.valid()) close();
    }
    PosixSerialBackend(const PosixSerialBackend&) = delete;
    PosixSerialBackend& operator=(const PosixSerialBackend&) = delete;

    int open(const std::string& path) override {
        if (fd_.valid()) close();
        // O_CLOEXEC: no program we start between this open and a later fcntl can inherit the
        // port and hold it after we let go. O_NOCTTY: a hang-up on the line cannot signal us.
        // O_NONBLOCK: the open does not wait for carrier, and reads never wait.
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.valid()) return errno;
        // A map entry naming an ordinary file would have every poll appended to it.
        if (!::isatty(fd.get())) return ENOTTY;
        // Two programs that both got past open() before either set TIOCEXCL: only the first to
        // lock keeps the port. Devices that cannot be locked at all are still guarded below.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) return EWOULDBLOCK;
        // Programs that open later without locking (a terminal emulator, cat) now get EBUSY
        // from the kernel. Some tty drivers refuse it; the lock above still stands then.
        ::ioctl(fd.get(), TIOCEXCL);
        fd_ = std::move(fd);
        lost_ = false;
        return 0;
    }

    int close() override {
        if (!fd_.valid()) return EBADF;
        lost_ = false;
        // A pty slave keeps its exclusive flag while the master lives; without this the
        // port could not be opened again until the other end closed.
        ::ioctl(fd_.get(), TIOCNXCL);
        // The descriptor is gone after close() even when it reports an error.
        if (::close(fd_.release()) != 0) return errno;
        return 0;
    }

    bool isOpen() const override { return fd_.valid(); }
    std::intptr_t readinessHandle() const override { return fd_.valid() ? fd_.get() : -1; }

    // Linux does not tell the size of a tty's transmit buffer.
    std::uint32_t transmitQueueSize() override { return 0; }

    int configure(const LineSettings& settings) override {
        if (!fd_.valid()) return EBADF;
        const int fd = fd_.get();
        termios tio{};
        if (::tcgetattr(fd, &tio) != 0) return errno;
        speed_t speed = B0;
        tcflag_t dataBits = CS8;
        if (!speedCode(settings.speed, speed) || !dataBitsFlag(settings.dataBits, dataBits))
            return EINVAL;

        // cfmakeraw clears parity and IXON; an unknown letter must still find the driver's.
        const tcflag_t driverParity = tio.c_cflag & kParityBits;
        const tcflag_t driverSoftwareFlow = tio.c_iflag & kSoftwareFlow;
        ::cfmakeraw(&tio);
        tio.c_cflag = (tio.c_cflag & ~kParityBits) | driverParity;
        tio.c_iflag = (tio.c_iflag & ~kSoftwareFlow) | driverSoftwareFlow;
        // Bytes with a parity error come through as received, as with error-character
        // replacement off; the frame checksum judges them.
        tio.c_iflag &= ~(INPCK | IGNPAR);
        // The controller's cable carries no modem lines to wait for.
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~kHardwareFlow;

        if (!applyParity(settings.parity, tio)) return EINVAL;
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | dataBits;
        if (settings.stopBits == 2) {
            tio.c_cflag |= CSTOPB;
        } else {
            tio.c_cflag &= ~CSTOPB;
        }
        if (!applyFlow(settings.flow, tio)) return EINVAL;
        // A read returns at once with whatever has arrived, possibly nothing.
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) return errno;
        if (::tcsetattr(fd, TCSANOW, &tio) != 0) return errno;

        const int dtr = TIOCM_DTR;
        // Pseudo-terminals and some adapters have no modem lines: nothing to hold on there.
        if (::ioctl(fd, TIOCMBIS, &dtr) != 0 && errno != ENOTTY && errno != EINVAL) return errno;
        ::tcflush(fd, TCIOFLUSH);
        return 0;
    }

    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        if (!fd_.valid()) return false;
        int in = 0;
        if (::ioctl(fd_.get(), FIONREAD, &in) != 0) {
            // A hung-up terminal refuses every ioctl with EIO.
            if (isDeviceGone(errno)) lost_ = true;
            return false;
        }
        int out = 0;
        // Pseudo-terminals may not count their output; nothing counted is nothing waiting.
        if (::ioctl(fd_.get(), TIOCOUTQ, &out) != 0) out = 0;
        input = in > 0 ? static_cast<std::uint32_t>(in) : 0;
        output = out > 0 ? static_cast<std::uint32_t>(out) : 0;
        return true;
    }

    long read(std::uint8_t* buffer, std::size_t n) override {
        if (!fd_.valid()) return -1;
        for (;;) {
            const ssize_t got = ::read(fd_.get(), buffer, n);
            if (got >= 0) return static_cast<long>(got);
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
            if (isDeviceGone(errno)) lost_ = true;
            return -1;
        }
    }

    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        written = 0;
        if (!fd_.valid()) return EBADF;
        const ssize_t put = ::write(fd_.get(), data, n);
        if (put >= 0) {
            written = static_cast<std::size_t>(put);
            return 0;
        }
        // A full driver queue is a short write, not a failure of the port.
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
        const int error = errno;
        if (isDeviceGone(error)) lost_ = true;
        return error;
    }

    bool waitReadable(std::chrono::milliseconds timeout) override {
        using clock = std::chrono::steady_clock;
        const auto deadline = clock::now() + timeout;
        // Nothing can arrive, but the caller's wait must still take its time.
        if (!fd_.valid() || lost_) {
            std::this_thread::sleep_until(deadline);
            return false;
        }
        for (;;) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
            pollfd p{fd_.get(), POLLIN, 0};
            const int ready = ::poll(&p, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
            if (ready == 0) return false;
            if (ready > 0) {
                // A hung-up line polls ready at once, POLLIN included, for good: a retrying
                // exchange must not spin on it.
                if ((p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
                    lost_ = true;
                } else if ((p.revents & POLLIN) != 0) {
                    return true;
                }
                std::this_thread::sleep_until(deadline);
                return false;
            }
            if (errno != EINTR) {
                std::this_thread::sleep_until(deadline);
                return false;
            }
        }
    }

    bool lost() const override { return lost_; }

  private:
    UniqueFd fd_;
    bool lost_ = false;
};

}  // namespace

std::unique_ptr<SerialBackend> makePlatformSerialBackend() {
    return std::make_unique<PosixSerialBackend>();
}

}  // namespace kt6
