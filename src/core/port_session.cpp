#include "core/port_session.h"

#include <cerrno>
#include <utility>

namespace kt6 {

namespace {

std::string portName(int n) {
    return "bio" + std::to_string(n);
}

std::int32_t configure(Comm32& port) {
    return port.SetPortParams(19200, 'n', 8, 1, 'N');
}

// An adapter not plugged in yet, or a port server not started yet: what comes by itself.
// Permission or a busy port needs the operator, and retrying would only hide that.
bool deviceMissing(std::int32_t cause, bool network) {
    if (cause == ENOENT || cause == ENODEV || cause == ENXIO) return true;
    return network && (cause == ECONNREFUSED || cause == EHOSTUNREACH || cause == ENETUNREACH ||
                       cause == ETIMEDOUT);
}

}  // namespace

PortSession::PortSession(Comm32& port, Link& link, MappedDevice mappedDevice,
                         PortSessionObserver& observer)
    : port_(port),
      link_(link),
      mappedDevice_(std::move(mappedDevice)),
      observer_(observer),
      recovery_([this] { return reopenLost(); }) {
    port_.setDeviceLostHandler([this] { portWentAway(); });
}

PortSession::~PortSession() {
    port_.setDeviceLostHandler(nullptr);
}

PortSession::Opened PortSession::open(int n) {
    port_.ClosePort();
    observer_.portClosed();
    portNumber_ = n;
    const std::int32_t openError = port_.OpenPort(portName(n));
    configure(port_);
    Opened result;
    result.ok = port_.PortError() == 0;
    // The configure that follows a failed open only adds EBADF: the open's own error says why.
    result.cause = openError != 0 ? openError : port_.PortError();
    state_ = result.ok ? State::Open : State::Closed;
    return result;
}

void PortSession::stopRetrying() {
    recovery_.cancel();
    reachability_.reset();
    if (retrying()) state_ = State::Closed;
    observer_.runRetryTimer(false);
}

void PortSession::portWentAway() {
    recovery_.deviceLost();
    reachability_.reset();
    state_ = State::Lost;
    observer_.deviceLost();
    if (!link_.isShutDown()) observer_.runRetryTimer(true);
}

bool PortSession::retryUnopened(std::int32_t cause) {
    if (state_ != State::Closed || portNumber_ == 0) return false;
    if (!deviceMissing(cause, isNetworkPort(port_.DevicePath()))) return false;
    recovery_.deviceLost();
    reachability_.reset();
    state_ = State::Lost;
    if (!link_.isShutDown()) observer_.runRetryTimer(true);
    return true;
}

void PortSession::retryTick() {
    if (link_.isShutDown()) return;
    // An exchange cannot be under way on a lost port (the link ended it when the port
    // closed), so the reopen may come at any tick, a sequence's pause included: the keys that
    // end the motors' wait need the port back.
    attempt();
}

void PortSession::attempt() {
    if (!recovery_.elapse(kRetryInterval)) return;
    state_ = State::Open;
    observer_.runRetryTimer(false);
    observer_.deviceBack();
}

bool PortSession::reopenLost() {
    // Quiet: a device that is still gone says nothing.
    port_.ClosePort();
    observer_.portClosed();
    // A network port is opened only once its host took a connect: the open's own wait would
    // hold the window's input for seconds on every retry while the host is down.
    const auto device = mappedDevice_(portNumber_);
    if (device && reachability_.check(*device) != PortReachability::State::Reachable) return false;
    if (port_.OpenPort(portName(portNumber_)) != 0) return false;
    if (configure(port_) != 0) {
        port_.ClosePort();
        return false;
    }
    return true;
}

}  // namespace kt6
