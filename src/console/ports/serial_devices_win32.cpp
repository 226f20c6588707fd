// The serial devices of Windows: the COM ports its serial drivers enter in the registry's
// SERIALCOMM map, which lists a USB adapter only while it is plugged in.
#include <windows.h>

#include <QRegularExpression>

#include "console/ports/serial_devices.h"

namespace kt6 {

namespace {

// The map's values: the driver's device name (\Device\Serial0, \Device\VCP0) for the port.
std::vector<std::pair<QString, QString>> serialCommEntries() {
    std::vector<std::pair<QString, QString>> entries;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ,
                        &key) != ERROR_SUCCESS) {
        return entries;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[256] = {};
        // In bytes; one character short, so that the text always ends.
        DWORD dataSize = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        // A value too long for a port name is none: the rest are still read.
        if (result != ERROR_SUCCESS || type != REG_SZ) continue;
        entries.emplace_back(QString::fromWCharArray(name, static_cast<qsizetype>(nameLength)),
                             QString::fromWCharArray(data));
    }
    ::RegCloseKey(key);
    return entries;
}

}  // namespace

std::vector<SerialDevice> listSerialDevices(const QString&, const QString&) {
    return comPortDevices(serialCommEntries());
}

bool isDevicePath(const QString& device) {
    static const QRegularExpression plainCom(QStringLiteral("^COM[1-9]$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return (device.startsWith(QStringLiteral("\\\\.\\")) && device.size() > 4) ||
           plainCom.match(device).hasMatch();
}

QString deviceExample() {
    return QStringLiteral("COM3, \\\\.\\COM12");
}

}  // namespace kt6
