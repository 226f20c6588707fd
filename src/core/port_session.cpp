#include "core/port_session.h"

#include <cerrno>
#include <utility>

#include "link/port_platform.h"
#include "link/serial_network.h"

namespace kt6 {

namespace {

// The controller's line: 19200 bit/s, 8 data bits, no parity, 1 stop bit, no handshake.
constexpr LineSettings kControllerLine{19200, 'n', 8, 1, 'N'};

std::string portName(int n) {
    return "bio" + std::to_string(n);
}

std::int32_t configure(Comm32& port) {
    return port.SetPortParams(kControllerLine.speed, kControllerLine.parity,
                              kControllerLine.dataBits, kControllerLine.stopBits,
                              kControllerLine.flow);
}

// An adapter not plugged in yet, or a port server not started yet: what comes by itself.
// Permission or a busy port needs the operator, and retrying would only hide that.
bool deviceMissing(std::int32_t cause, bool network) {
    if (!network && deviceFault(cause) == DeviceFault::Missing) return true;
    return network && (cause == ECONNREFUSED || cause == EHOSTUNREACH || cause == ENETUNREACH ||
                       cause == ETIMEDOUT);
}

std::unique_ptr<SerialBackend> networkBackend(std::function<bool()> cancelled) {
    return makeSerialBackend(NetworkOptions{std::move(cancelled)});
}

}  // namespace

PortSession::PortSession(Comm32& port, Link& link, PortSessionObserver& observer,
                         BackgroundOpen::MakeBackend makeBackend, Scheduler* scheduler)
    : port_(port),
      link_(link),
      observer_(observer),
      makeBackend_(makeBackend ? std::move(makeBackend) : networkBackend),
      recovery_([this] { return reopenLost(); }),
      scheduler_(scheduler) {
    port_.setDeviceLostHandler([this] { portWentAway(); });
}

PortSession::~PortSession() {
    port_.setDeviceLostHandler(nullptr);
}

void PortSession::open(int n, OpenDone done) {
    abandonOpen();
    port_.ClosePort();
    observer_.portClosed();
    portNumber_ = n;
    const std::string path = pathOf(n);
    if (isNetworkPort(path)) {
        state_ = State::Opening;
        triedAgain_ = false;
        openInBackground(path, std::move(done));
        return;
    }
    const std::int32_t openError = port_.OpenPort(portName(n));
    configure(port_);
    Opened result;
    result.ok = port_.PortError() == 0;
    // The configure that follows a failed open only adds EBADF: the open's own error says why.
    result.cause = openError != 0 ? openError : port_.PortError();
    state_ = result.ok ? State::Open : State::Closed;
    if (done) done(result);
}

std::string PortSession::pathOf(int n) const {
    return port_.ResolvePort(portName(n));
}

void PortSession::openInBackground(const std::string& path, OpenDone done) {
    openDone_ = std::move(done);
    opening_ = std::make_unique<BackgroundOpen>(makeBackend_, path, kControllerLine);
}

void PortSession::abandonOpen() {
    ++*choice_;
    opening_.reset();
    openDone_ = nullptr;
    if (state_ == State::Opening) state_ = State::Closed;
}

void PortSession::tick() {
    if (!opening_) return;
    // The window closes: nobody is left to take the port.
    if (link_.isShutDown()) {
        abandonOpen();
        return;
    }
    std::optional<OpenedPort> outcome = opening_->take();
    if (!outcome) return;
    opening_.reset();
    const std::int32_t error = port_.AdoptPort(portName(portNumber_), std::move(*outcome));
    if (state_ == State::Opening) {
        if (tryDroppedAgain(error)) return;
        state_ = error == 0 ? State::Open : State::Closed;
        if (OpenDone done = std::exchange(openDone_, nullptr)) done(Opened{error == 0, error});
        return;
    }
    // A quiet retry: a port still gone says nothing, and the retry timer makes the next
    // attempt.
    if (error != 0) return;
    recovery_.cancel();
    state_ = State::Open;
    observer_.runRetryTimer(false);
    observer_.deviceBack();
}

bool PortSession::tryDroppedAgain(std::int32_t error) {
    const bool dropped = error == ECONNRESET || error == EPIPE || error == ECONNABORTED;
    if (!dropped || triedAgain_ || !scheduler_) return false;
    triedAgain_ = true;
    // Still Opening meanwhile: the operator sees it connecting, not failed.
    scheduler_->after(
        kDroppedRetryDelay, [this, wanted = std::weak_ptr<int>(choice_), choice = *choice_] {
            const std::shared_ptr<int> now = wanted.lock();
            if (!now || *now != choice || state_ != State::Opening || link_.isShutDown()) return;
            opening_ = std::make_unique<BackgroundOpen>(makeBackend_, pathOf(portNumber_),
                                                        kControllerLine);
        });
    return true;
}

void PortSession::stopRetrying() {
    recovery_.cancel();
    if (retrying()) {
        abandonOpen();
        state_ = State::Closed;
    }
    observer_.runRetryTimer(false);
}

void PortSession::portWentAway() {
    recovery_.deviceLost();
    state_ = State::Lost;
    observer_.deviceLost();
    if (!link_.isShutDown()) observer_.runRetryTimer(true);
}

bool PortSession::retryUnopened(std::int32_t cause) {
    if (state_ != State::Closed || portNumber_ == 0) return false;
    if (!deviceMissing(cause, isNetworkPort(port_.DevicePath()))) return false;
    recovery_.deviceLost();
    state_ = State::Lost;
    if (!link_.isShutDown()) observer_.runRetryTimer(true);
    return true;
}

void PortSession::retryTick() {
    if (link_.isShutDown()) return;
    // A network port's attempt still under way is waited for, not doubled.
    if (opening_) return;
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
    // A network port is opened in the background: a host that is down, or a server that does
    // not answer its negotiation, would otherwise hold the window for seconds at every retry.
    // tick() takes the outcome up.
    const std::string path = pathOf(portNumber_);
    if (isNetworkPort(path)) {
        openInBackground(path, nullptr);
        return false;
    }
    if (port_.OpenPort(portName(portNumber_)) != 0) return false;
    if (configure(port_) != 0) {
        port_.ClosePort();
        return false;
    }
    return true;
}

}  // namespace kt6
