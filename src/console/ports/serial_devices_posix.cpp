// The serial devices of a POSIX system: its device files.
#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <utility>

#include "console/ports/serial_devices.h"

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

bool isDevicePath(const QString& device) {
    return device.startsWith(u'/');
}

QString deviceExample() {
    return QStringLiteral("/dev/ttyUSB0");
}

}  // namespace kt6
