#include "console/status/link_status.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include "console/panel/front_keys.h"
#include "core/rig_tracker.h"
#include "link/comm32.h"
#include "link/serial_network.h"

namespace kt6 {

RadioFacts radioFacts(const RigTracker& rigs, const RigView& view) {
    RadioFacts radio;
    radio.rig = view.isTicked(1) ? 1 : view.isTicked(2) ? 2 : 0;
    radio.clientFailed = rigs.clientCreated() && !rigs.following();
    radio.clientError = QString::fromStdString(rigs.connectError());
    radio.paused = rigs.followingPaused();
    if (RigServer* server = rigs.RigClient(); server && rigs.following() && radio.rig) {
        radio.clientOpen = true;
        try {
            // With both rigs ticked, the one on the air is what the antenna waits for.
            if (radio.rig == 1 && view.isTicked(2) && !server->transmitting(1) &&
                server->transmitting(2)) {
                radio.rig = 2;
            }
            radio.transmitting = server->transmitting(radio.rig);
            radio.status = server->status(radio.rig);
            radio.hz = server->rxFrequency(radio.rig);
            radio.reason = QString::fromStdString(server->reason(radio.rig));
            radio.connecting = server->connecting(radio.rig);
        } catch (const std::exception& e) {
            radio.status = RigStatus::NotResponding;
            radio.reason = QString::fromUtf8(e.what());
        }
    }
    return radio;
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
