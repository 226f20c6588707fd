// The line control on POSIX systems: the device opened as a terminal the console does not own,
// one bit of the modem status set or cleared with TIOCMBIS or TIOCMBIC.
//
// What Linux does to the lines is the driver's business, not ours to undo: an open of a tty
// whose speed is not 0 raises DTR and RTS (tty_port_block_til_ready), and the last close lowers
// both when HUPCL is set. Changing the line settings to avoid either (speed 0, HUPCL off) would
// change them for every other user of the port too, so this keeps its hands off: termios is
// never touched, only the chosen line's bit ever moves, and the device stays open for as long
// as the line is used, so the raise on open happens once and not at every change. Whether the
// line stays up after the console has gone is then the port's HUPCL setting (stty -hupcl), or
// the wiring: with ActiveLow=1 a dropped line is an asserted one.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "link/line_control.h"
#include "link/unique_fd.h"

namespace kt6 {
namespace {

class PosixLineControl final : public LineControl {
  public:
    int open(const std::string& path) override {
        close();
        // O_NOCTTY: a hang-up on the line cannot signal us. O_NONBLOCK: the open does not wait
        // for carrier on a port without CLOCAL. O_CLOEXEC: a hook we start cannot inherit the
        // port and keep its lines where they were after we let go.
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        if (!fd.valid()) return errno;
        // An ordinary file has no lines; say so rather than fail later on the ioctl.
        if (!::isatty(fd.get())) return ENOTTY;
        // No flock and no TIOCEXCL: the port's other user (a CAT program on the same adapter)
        // must still be able to open it.
        fd_ = std::move(fd);
        return 0;
    }

    int set(ModemLine line, bool on) override {
        if (!fd_.valid()) return EBADF;
        const int bit = line == ModemLine::Dtr ? TIOCM_DTR : TIOCM_RTS;
        if (::ioctl(fd_.get(), on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return 0;
        const int error = errno;
        // Pseudo-terminals and some adapters have no modem lines: the kernel says ENOTTY or
        // EINVAL, which reads as "not a terminal" and would mislead.
        if (error == ENOTTY || error == EINVAL) return kNoModemLines;
        return error;
    }

    bool isOpen() const override { return fd_.valid(); }

    void close() override { fd_.reset(); }

  private:
    UniqueFd fd_;
};

}  // namespace

std::unique_ptr<LineControl> makePlatformLineControl() {
    return std::make_unique<PosixLineControl>();
}

}  // namespace kt6
