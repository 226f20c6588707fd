#include "radio/udp_rig_feed.h"

#include <utility>

#include "radio/logger_datagrams.h"

namespace kt6 {

UdpRigFeed::UdpRigFeed(int rigNumber, const RigPortSettings& settings, ms now)
    : rigNumber_(rigNumber), settings_(settings), heard_(now) {
    // Until the first datagram the logger may simply not be started yet: no verdict.
    last_.rigNumber = rigNumber_;
    last_.status = RigStatus::NotResponding;
    last_.connecting = true;
    last_.error = "waiting for a datagram on " + endpoint();
}

std::string UdpRigFeed::endpoint() const {
    return settings_.bind + ":" + std::to_string(settings_.udpPort);
}

std::optional<RigReading> UdpRigFeed::publish(RigReading next) {
    next.rigNumber = rigNumber_;
    if (!markChanges(next, &last_)) return std::nullopt;
    last_ = next;
    return next;
}

std::optional<RigReading> UdpRigFeed::datagram(std::span<const std::uint8_t> bytes, ms now) {
    if (portFailed_) return std::nullopt;
    const auto report = settings_.source == RigSource::Wsjtx ? decodeWsjtxDatagram(bytes)
                                                             : decodeN1mmDatagram(bytes);
    if (!report) {
        ++malformed_;
        return std::nullopt;
    }
    using Kind = LoggerReport::Kind;
    if (report->kind == Kind::Other) return std::nullopt;
    if (settings_.source == RigSource::N1mm && report->radioNumber != settings_.radioNumber) {
        return std::nullopt;
    }
    heard_ = now;
    if (report->kind == Kind::Alive) return std::nullopt;
    RigReading next = last_;
    next.connecting = false;
    if (report->kind == Kind::Leaving) {
        next.status = RigStatus::NotResponding;
        next.hasFrequency = false;
        next.transmitting = false;
        next.error =
            (report->sender.empty() ? std::string("the logger") : report->sender) + " closed";
        return publish(next);
    }
    sender_ = report->sender;
    next.status = RigStatus::Online;
    next.error.clear();
    next.hasFrequency = report->hz > 0;
    next.hz = static_cast<double>(report->hz);
    next.transmitting = report->transmitting;
    return publish(next);
}

std::optional<RigReading> UdpRigFeed::tick(ms now) {
    if (portFailed_ || now - heard_ < kLoggerSilence) return std::nullopt;
    if (last_.status != RigStatus::Online && !last_.connecting) return std::nullopt;
    RigReading next = last_;
    next.connecting = false;
    next.status = RigStatus::NotResponding;
    next.hasFrequency = false;
    next.transmitting = false;
    next.error =
        "no datagram for " +
        std::to_string(std::chrono::duration_cast<std::chrono::seconds>(kLoggerSilence).count()) +
        " s on " + endpoint();
    return publish(next);
}

std::optional<RigReading> UdpRigFeed::failed(const std::string& why) {
    portFailed_ = true;
    RigReading next = last_;
    next.connecting = false;
    next.status = RigStatus::PortBusy;
    next.hasFrequency = false;
    next.transmitting = false;
    next.error = endpoint() + ": " + why;
    return publish(next);
}

}  // namespace kt6
