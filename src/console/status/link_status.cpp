#include "console/status/link_status.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "console/panel/front_keys.h"
#include "link/comm32.h"
#include "link/serial_network.h"
#include "radio/rig_tracker.h"

namespace kt6 {

void LinkWatch::portConnecting(int comNumber, const QString& device) {
    portOpened(comNumber, device);
    state_ = State::Connecting;
}

void LinkWatch::portOpened(int comNumber, const QString& device) {
    state_ = State::Open;
    back_ = false;
    retried_ = false;
    com_ = comNumber;
    device_ = device;
    error_ = 0;
    answered_ = false;
    silentPolls_ = 0;
}

void LinkWatch::portClosed(int comNumber, const QString& device, std::int32_t error) {
    state_ = State::Closed;
    back_ = false;
    retried_ = false;
    com_ = comNumber;
    device_ = device;
    error_ = error;
    answered_ = false;
    silentPolls_ = 0;
}

void LinkWatch::portRetried() {
    if (state_ == State::Closed) retried_ = true;
}

void LinkWatch::portLost(int comNumber, const QString& device) {
    state_ = State::Lost;
    com_ = comNumber;
    device_ = device;
}

void LinkWatch::portBack() {
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

void LinkWatch::replied(const StatusRecord& record) {
    // A reply proves the device is back, whatever was said of it before.
    if (state_ == State::Lost) state_ = State::Open;
    back_ = false;
    answered_ = true;
    repliedThisTick_ = true;
    silentPolls_ = 0;
    last_ = record;
    ++records_;
}

void LinkWatch::tickEnded() {
    if (!std::exchange(repliedThisTick_, false)) ++silentPolls_;
}

bool LinkWatch::stale() const {
    return state_ != State::Open || back_ || silentPolls_ >= kSilentPolls;
}

QString LinkWatch::portName() const {
    return QStringLiteral("COM%1").arg(com_);
}

QString LinkWatch::text() const {
    switch (state_) {
        case State::NoPort:
            return QStringLiteral("No port open");
        case State::Connecting: {
            const auto address = parseNetworkAddress(device_.toStdString());
            return QStringLiteral("%1: connecting to %2...")
                .arg(portName(), address ? QString::fromStdString(address->label()) : device_);
        }
        case State::Closed:
            if (retried_) {
                return QStringLiteral("%1: %2, retrying")
                    .arg(portName(), shortPortReason(error_, device_));
            }
            return QStringLiteral("%1 closed: %2")
                .arg(portName(), shortPortReason(error_, device_));
        case State::Lost:
            return QStringLiteral("%1: device lost, retrying").arg(portName());
        case State::Open:
            break;
    }
    if (!answered_) return QStringLiteral("%1: no answer").arg(portName());
    if (back_) return QStringLiteral("%1: device back, no answer yet").arg(portName());
    if (silentPolls_ >= kSilentPolls) {
        return QStringLiteral("%1: no answer for %2 s")
            .arg(portName())
            .arg((silentPolls_ * kPollMs + 500) / 1000);
    }
    return QStringLiteral("%1 online, firmware %2.%3, %4 drivers")
        .arg(portName())
        .arg(last_.firmwareMajor)
        .arg(last_.firmwareMinor)
        .arg(last_.drivers);
}

QString LinkWatch::tip() const {
    const QString device = QStringLiteral("%1 is %2").arg(portName(), device_);
    switch (state_) {
        case State::NoPort:
            return QStringLiteral("Choose a port in the Com port menu.");
        case State::Connecting:
            return device + QStringLiteral(
                                ".\nThe console is connecting to the serial server; if it "
                                "cannot, the reason shows here within seconds.");
        case State::Closed:
            return device + QStringLiteral(".\n") +
                   QString::fromStdString(portErrorText(error_, device_.toStdString())) +
                   (retried_ ? QStringLiteral("\nIt is tried again every 2 s and opened as soon "
                                              "as it is there; or choose a port in the Com port "
                                              "menu.")
                             : QString());
        case State::Lost:
            return device + QStringLiteral(
                                ".\nThe device went away (unplugged or connection dropped); it "
                                "is opened again as soon as it is back.");
        case State::Open:
            break;
    }
    if (!answered_) {
        return device + QStringLiteral(
                            ", open at 19200 bit/s 8N1.\nThe controller has not answered yet: "
                            "check that it is on, the cable, and that this is its port.");
    }
    if (silentPolls_ >= kSilentPolls) {
        return device + QStringLiteral(
                            ".\nThe controller stopped answering; the display keeps its last "
                            "values, dimmed, until it answers again.");
    }
    return device + QStringLiteral(", 19200 bit/s 8N1; the controller answers every poll.");
}

QString shortPortReason(std::int32_t error, const QString& device) {
    QString why;
    if (isNetworkPort(device.toStdString())) {
        // "host:port: connection refused. Check that ..." loses its advice, kept for the tip.
        const QString full = QString::fromStdString(portErrorText(error, device.toStdString()));
        const qsizetype colon = full.indexOf(QStringLiteral(": "));
        why = colon < 0 ? full : full.mid(colon + 2);
        if (const qsizetype stop = why.indexOf(QStringLiteral(". ")); stop >= 0) why.truncate(stop);
        if (why.endsWith(u'.')) why.chop(1);
        return device + QStringLiteral(": ") + why;
    }
    switch (error) {
        case EACCES:
        case EPERM:
            why = QStringLiteral("permission denied (add yourself to the dialout group)");
            break;
        case EBUSY:
        case EWOULDBLOCK:
            why = QStringLiteral("busy (another program holds it)");
            break;
        case ENOENT:
        case ENODEV:
        case ENXIO:
            why = QStringLiteral("no such device");
            break;
        default:
            why = error > 0 ? QString::fromLocal8Bit(std::strerror(error)).toLower()
                            : QStringLiteral("error %1").arg(error);
    }
    return device.isEmpty() ? why : device + QStringLiteral(": ") + why;
}

QString radioFieldText(const RadioFacts& f) {
    if (f.rig == 0) return QStringLiteral("No radio");
    const QString rig = QStringLiteral("Radio %1: ").arg(f.rig);
    if (!f.clientOpen) {
        if (f.clientFailed) return rig + QStringLiteral("not reachable (%1)").arg(f.clientError);
        return rig + QStringLiteral("waiting for the controller");
    }
    if (f.connecting) return rig + QStringLiteral("connecting");
    if (f.paused) {
        const bool heard = f.status == RigStatus::Online && f.hz;
        return rig +
               (heard ? QString::number(*f.hz / 1e6, 'f', 6) + QStringLiteral(" MHz, ")
                      : QString()) +
               QStringLiteral("following paused");
    }
    if (f.status == RigStatus::Online) {
        if (f.transmitting) return rig + QStringLiteral("transmitting, antenna waits");
        if (!f.hz) return rig + QStringLiteral("online, no frequency yet");
        const QString mhz = QString::number(*f.hz / 1e6, 'f', 6) + QStringLiteral(" MHz");
        if (!frequencyPayload(*f.hz)) {
            return rig + mhz + QStringLiteral(", outside the antenna's range, not followed");
        }
        return rig + mhz;
    }
    const QString reason =
        f.reason.isEmpty()
            ? QString::fromLatin1(rigStatusText(f.status).data(),
                                  static_cast<qsizetype>(rigStatusText(f.status).size()))
                  .toLower()
            : f.reason;
    return rig + QStringLiteral("not reachable (%1)").arg(reason);
}

QString refusalText(std::uint8_t code, const Bytes& data, std::uint8_t status) {
    QString what;
    if (code == kSetFrequencyCommand && data.size() >= 2) {
        what = QStringLiteral("%1 kHz").arg(data[0] | data[1] << 8);
    } else if (code == 8 && !data.empty()) {
        what = QStringLiteral("Key \"%1\"").arg(keyName(data[0]));
    } else {
        what = QStringLiteral("Command %1").arg(code);
    }
    return what + QStringLiteral(" refused by the controller (status %1)").arg(status);
}

}  // namespace kt6
