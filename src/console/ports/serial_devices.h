#pragma once
// The serial devices present on this machine, as the port dialog offers them, and what a typed
// device may look like. One file per system: serial_devices_posix.cpp (device files),
// serial_devices_win32.cpp (the COM ports the registry names).
#include <QString>
#include <utility>
#include <vector>

namespace kt6 {

struct SerialDevice {
    QString path;
    // The path, and for a by-id name or a COM port the device it stands for.
    QString label;
};

// What exists, in the order the dialog offers it. POSIX: /dev/serial/by-id names first (they
// survive replugging), then ttyUSB*, ttyACM* and ttyS* in number order, the directories being
// parameters so tests can fake them. Windows: the registry's SERIALCOMM map, as
// comPortDevices() orders it; the directories mean nothing there.
std::vector<SerialDevice> listSerialDevices(
    const QString& byIdDir = QStringLiteral("/dev/serial/by-id"),
    const QString& devDir = QStringLiteral("/dev"));

// Windows' SERIALCOMM entries (the driver's device name, the port name) as the dialog offers
// them: \\.\COMn paths (which reach COM10 and above), COM ports in number order, then any other
// name a driver gave, each once.
std::vector<SerialDevice> comPortDevices(std::vector<std::pair<QString, QString>> entries);

// True when the text names a device of this system: a path on POSIX; COM1 to COM9 or a
// \\.\ device name on Windows (a plain COM10 does not open there).
bool isDevicePath(const QString& device);
// A device of this system, for the dialog's hint: "/dev/ttyUSB0" or "COM3".
QString deviceExample();

// Why a typed device cannot be right, or an empty text: a device, or tcp://host:port or
// rfc2217://host:port.
QString checkDeviceText(const QString& device);

}  // namespace kt6
