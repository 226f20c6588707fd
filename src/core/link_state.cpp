#include "core/link_state.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <utility>

#include "link/comm32.h"
#include "link/serial_network.h"

namespace kt6 {

void LinkState::portConnecting(int comNumber, const std::string& device) {
    portOpened(comNumber, device);
    state_ = State::Connecting;
}

void LinkState::portOpened(int comNumber, const std::string& device) {
    state_ = State::Open;
    back_ = false;
    retried_ = false;
    com_ = comNumber;
    device_ = device;
    error_ = 0;
    answered_ = false;
    silentPolls_ = 0;
}

void LinkState::portClosed(int comNumber, const std::string& device, std::int32_t error) {
    state_ = State::Closed;
    back_ = false;
    retried_ = false;
    com_ = comNumber;
    device_ = device;
    error_ = error;
    answered_ = false;
    silentPolls_ = 0;
}

void LinkState::portRetried() {
    if (state_ == State::Closed) retried_ = true;
}

void LinkState::portLost(int comNumber, const std::string& device) {
    state_ = State::Lost;
    com_ = comNumber;
    device_ = device;
}

void LinkState::portBack() {
    if (state_ == State::Closed && retried_) {
        // Never open before: the controller on it has simply not answered yet.
        state_ = State::Open;
        retried_ = false;
        return;
    }
    if (state_ != State::Lost) return;
    state_ = State::Open;
    // The device on the reopened port has said nothing yet: "online" waits for its reply.
    back_ = true;
}

void LinkState::replied(const StatusRecord& record) {
    // A reply proves the device is back, whatever was said of it before.
    if (state_ == State::Lost) state_ = State::Open;
    back_ = false;
    answered_ = true;
    repliedThisTick_ = true;
    silentPolls_ = 0;
    last_ = record;
    ++records_;
}

void LinkState::tickEnded() {
    if (!std::exchange(repliedThisTick_, false)) ++silentPolls_;
}

bool LinkState::stale() const {
    return state_ != State::Open || back_ || silentPolls_ >= kSilentPolls;
}

std::string LinkState::portName() const {
    return "COM" + std::to_string(com_);
}

std::string LinkState::text() const {
    const std::string port = portName();
    switch (state_) {
        case State::NoPort:
            return "No port open";
        case State::Connecting: {
            const auto address = parseNetworkAddress(device_);
            return port + ": connecting to " + (address ? address->label() : device_) + "...";
        }
        case State::Closed:
            if (retried_) return port + ": " + shortPortReason(error_, device_) + ", retrying";
            return port + " closed: " + shortPortReason(error_, device_);
        case State::Lost:
            return port + ": device lost, retrying";
        case State::Open:
            break;
    }
    if (!answered_) return port + ": no answer";
    if (back_) return port + ": device back, no answer yet";
    if (silentPolls_ >= kSilentPolls) {
        return port + ": no answer for " + std::to_string((silentPolls_ * kPollMs + 500) / 1000) +
               " s";
    }
    return port + " online, firmware " + std::to_string(last_.firmwareMajor) + "." +
           std::to_string(last_.firmwareMinor) + ", " + std::to_string(last_.drivers) + " drivers";
}

std::string LinkState::tip() const {
    const std::string device = portName() + " is " + device_;
    switch (state_) {
        case State::NoPort:
            return "Choose a port in the Com port menu.";
        case State::Connecting:
            return device +
                   ".\nThe console is connecting to the serial server; if it cannot, the reason "
                   "shows here within seconds.";
        case State::Closed:
            return device + ".\n" + portErrorText(error_, device_) +
                   (retried_ ? "\nIt is tried again every 2 s and opened as soon as it is there; "
                               "or choose a port in the Com port menu."
                             : "");
        case State::Lost:
            return device +
                   ".\nThe device went away (unplugged or connection dropped); it is opened "
                   "again as soon as it is back.";
        case State::Open:
            break;
    }
    if (!answered_) {
        return device +
               ", open at 19200 bit/s 8N1.\nThe controller has not answered yet: check that it "
               "is on, the cable, and that this is its port.";
    }
    if (silentPolls_ >= kSilentPolls) {
        return device +
               ".\nThe controller stopped answering; the display keeps its last values, dimmed, "
               "until it answers again.";
    }
    return device + ", 19200 bit/s 8N1; the controller answers every poll.";
}

std::string shortPortReason(std::int32_t error, const std::string& device) {
    std::string why;
    if (isNetworkPort(device)) {
        // "host:port: connection refused. Check that ..." loses its advice, kept for the tip.
        const std::string full = portErrorText(error, device);
        const std::size_t colon = full.find(": ");
        why = colon == std::string::npos ? full : full.substr(colon + 2);
        if (const std::size_t stop = why.find(". "); stop != std::string::npos) why.resize(stop);
        if (!why.empty() && why.back() == '.') why.pop_back();
        return device + ": " + why;
    }
    switch (error) {
        case EACCES:
        case EPERM:
            why = "permission denied (add yourself to the dialout group)";
            break;
        case EBUSY:
        case EWOULDBLOCK:
            why = "busy (another program holds it)";
            break;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            why = "no such device";
            break;
        default:
            if (error > 0) {
                why = std::strerror(error);
                for (char& c : why)
                    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            } else {
                why = "error " + std::to_string(error);
            }
    }
    return device.empty() ? why : device + ": " + why;
}

}  // namespace kt6
