#include "link/comm32.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace kt6 {

Comm32::Comm32(std::unique_ptr<SerialBackend> backend, PortResolver resolver)
    : backend_(std::move(backend)), resolver_(std::move(resolver)) {}

std::int32_t Comm32::OpenPort(std::string_view name) {
    if (io().isOpen()) ClosePort();
    adopted_.reset();
    dropBuffered();
    lost_ = false;
    devicePath_ = ResolvePort(name);
    portError_ = backend_->open(devicePath_);
    if (portError_ == 0) opened();
    return portError_;
}

std::int32_t Comm32::AdoptPort(std::string_view name, OpenedPort port) {
    if (io().isOpen()) ClosePort();
    adopted_.reset();
    dropBuffered();
    lost_ = false;
    devicePath_ = ResolvePort(name);
    portError_ = port.error;
    if (portError_ == 0 && !(port.backend && port.backend->isOpen())) portError_ = EBADF;
    if (portError_ != 0) return portError_;
    adopted_ = std::move(port.backend);
    opened();
    return 0;
}

std::string Comm32::ResolvePort(std::string_view name) const {
    return resolver_ ? resolver_(name) : std::string(name);
}

void Comm32::opened() {
    const std::uint32_t size = io().transmitQueueSize();
    txQueueSize_ = size == 0 ? kDefaultQueueSize : static_cast<std::uint16_t>(size & 0xFFFF);
    lastInput_ = lastOutput_ = 0;
}

std::int32_t Comm32::SetPortParams(std::uint32_t speed, char parity, std::uint8_t dataBits,
                                   std::uint8_t stopBits, char flow) {
    portError_ = io().configure(LineSettings{speed, parity, dataBits, stopBits, flow});
    // The configure purges the driver's input; what was already taken goes the same way.
    dropBuffered();
    checkLost();
    return portError_;
}

std::int32_t Comm32::ClosePort() {
    lost_ = false;
    dropBuffered();
    portError_ = io().close();
    // The port's own backend serves the next open; an adopted one is done with.
    adopted_.reset();
    return portError_;
}

std::uint16_t Comm32::InputCount() {
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    const auto buffered = static_cast<std::uint32_t>(rx_.size() - rxNext_);
    if (!io().queueCounts(in, out)) {
        checkLost();
        return static_cast<std::uint16_t>(std::min<std::uint32_t>(buffered, 0xFFFF));
    }
    lastInput_ = in;
    lastOutput_ = out;
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(in + buffered, 0xFFFF));
}

std::uint16_t Comm32::OutputCount() {
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    if (io().queueCounts(in, out)) {
        lastInput_ = in;
        lastOutput_ = out;
    } else {
        checkLost();
    }
    return static_cast<std::uint16_t>(lastOutput_ & 0xFFFF);
}

bool Comm32::ReadByte(std::uint8_t& b) {
    if (rxNext_ == rx_.size() && !fillBuffer()) return false;
    b = rx_[rxNext_++];
    return true;
}

bool Comm32::fillBuffer() {
    dropBuffered();
    if (InputCount() == 0) return false;
    // Everything waiting in one read: a line full of noise costs a call per chunk, not two
    // queries and a call per byte.
    rx_.resize(kReadChunk);
    const long got = io().read(rx_.data(), rx_.size());
    if (got <= 0) {
        rx_.clear();
        checkLost();
        return false;
    }
    rx_.resize(static_cast<std::size_t>(got));
    return true;
}

void Comm32::dropBuffered() {
    rx_.clear();
    rxNext_ = 0;
}

bool Comm32::WriteString(const Bytes& s) {
    const long room = static_cast<long>(txQueueSize_) - static_cast<long>(OutputCount());
    if (room < static_cast<long>(s.size())) return true;
    std::size_t written = 0;
    const int error = io().write(s.data(), s.size(), written);
    if (error != 0) {
        portError_ = error;
        checkLost();
    } else {
        portError_ = written < s.size() ? kShortWrite : 0;
    }
    return false;
}

bool Comm32::WaitForInput(std::chrono::milliseconds timeout) {
    if (rxNext_ < rx_.size()) return true;
    if (!io().isOpen()) {
        // Nothing can arrive, but a waiting exchange must still take its time.
        std::this_thread::sleep_for(timeout);
        return false;
    }
    const bool readable = io().waitReadable(timeout);
    checkLost();
    return readable;
}

void Comm32::checkLost() {
    if (!io().isOpen() || !io().lost()) return;
    // PortError keeps the error that revealed the loss, if any; the close's own result adds
    // nothing an operator could act on.
    io().close();
    dropBuffered();
    lost_ = true;
    if (onLost_) onLost_();
}

}  // namespace kt6
