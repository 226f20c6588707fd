#pragma once
// The serial devices present on this machine, as the port dialog offers them.
#include <QString>
#include <vector>

namespace kt6 {

struct SerialDevice {
    QString path;
    // The path, and for a by-id name the device it stands for.
    QString label;
};

// /dev/serial/by-id names first (they survive replugging), then ttyUSB*, ttyACM* and ttyS*
// in number order; only what exists. The directories are parameters so tests can fake them.
std::vector<SerialDevice> listSerialDevices(
    const QString& byIdDir = QStringLiteral("/dev/serial/by-id"),
    const QString& devDir = QStringLiteral("/dev"));

// Why a typed device cannot be right, or an empty text: a path, or tcp://host:port or
// rfc2217://host:port.
QString checkDeviceText(const QString& device);

}  // namespace kt6
