#include "console/ports/serial_devices.h"

#include <QRegularExpression>
#include <algorithm>
#include <climits>
#include <set>

namespace kt6 {

std::vector<SerialDevice> comPortDevices(std::vector<std::pair<QString, QString>> entries) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]*)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    // COM2 before COM10, and names that are no COM port after them all, by name.
    auto key = [](const QString& port) {
        const auto match = com.match(port);
        return std::make_pair(match.hasMatch() ? match.captured(1).toLongLong() : LLONG_MAX,
                              port.toUpper());
    };
    std::sort(entries.begin(), entries.end(),
              [&](const auto& a, const auto& b) { return key(a.second) < key(b.second); });
    std::vector<SerialDevice> out;
    std::set<QString> seen;
    for (const auto& [device, port] : entries) {
        const QString name = port.trimmed();
        if (name.isEmpty() || !seen.insert(name.toUpper()).second) continue;
        out.push_back({QStringLiteral("\\\\.\\") + name,
                       device.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, device)});
    }
    return out;
}

QString checkDeviceText(const QString& device) {
    const QString d = device.trimmed();
    if (d.isEmpty()) return {};
    for (const QString& scheme : {QStringLiteral("tcp://"), QStringLiteral("rfc2217://")}) {
        if (!d.startsWith(scheme)) continue;
        const QString rest = d.mid(scheme.size());
        const qsizetype colon = rest.lastIndexOf(u':');
        bool ok = false;
        const int port = colon > 0 ? rest.mid(colon + 1).toInt(&ok) : 0;
        if (colon <= 0 || !ok || port < 1 || port > 65535) {
            return QStringLiteral("\"%1\" needs a host and a port: %2host:port").arg(d, scheme);
        }
        return {};
    }
    if (!isDevicePath(d)) {
        return QStringLiteral(
                   "\"%1\" is neither a device path (%2) nor tcp://host:port "
                   "or rfc2217://host:port")
            .arg(d, deviceExample());
    }
    return {};
}

}  // namespace kt6
