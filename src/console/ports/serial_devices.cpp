#include "console/ports/serial_devices.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace kt6 {

std::vector<SerialDevice> listSerialDevices(const QString& byIdDir, const QString& devDir) {
    std::vector<SerialDevice> out;
    // ttyS2 before ttyS10: by the name without its trailing number, then by the number.
    auto key = [](const QString& name) {
        qsizetype digits = name.size();
        while (digits > 0 && name[digits - 1].isDigit()) --digits;
        return std::make_pair(name.left(digits), name.mid(digits).toLongLong());
    };
    auto sorted = [&](QStringList names) {
        std::sort(names.begin(), names.end(),
                  [&](const QString& a, const QString& b) { return key(a) < key(b); });
        return names;
    };

    const QDir byId(byIdDir);
    for (const QString& name :
         sorted(byId.entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot))) {
        const QFileInfo link(byId.filePath(name));
        const QString target =
            link.isSymLink() ? QFileInfo(link.symLinkTarget()).fileName() : QString();
        out.push_back({link.filePath(),
                       target.isEmpty() ? link.filePath()
                                        : QStringLiteral("%1 (%2)").arg(link.filePath(), target)});
    }
    const QDir dev(devDir);
    for (const char* pattern : {"ttyUSB*", "ttyACM*", "ttyS*"}) {
        const QStringList names = dev.entryList({QString::fromLatin1(pattern)},
                                                QDir::System | QDir::Files | QDir::NoDotAndDotDot);
        for (const QString& name : sorted(names)) {
            const QString path = dev.filePath(name);
            out.push_back({path, path});
        }
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
    if (!d.startsWith(u'/')) {
        return QStringLiteral(
                   "\"%1\" is neither a device path (/dev/...) nor tcp://host:port "
                   "or rfc2217://host:port")
            .arg(d);
    }
    return {};
}

}  // namespace kt6
