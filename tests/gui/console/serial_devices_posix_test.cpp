// The port dialog's devices on a POSIX system: its device files, and typed paths.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "console/ports/serial_devices.h"

namespace kt6 {
namespace {

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(SerialDevicesTest, byIdNamesFirstThenUsbAcmAndSerialInNumberOrder) {
    QTemporaryDir root;
    const QDir dev(root.path());
    ASSERT_TRUE(dev.mkpath("serial/by-id"));
    for (const char* name : {"ttyS10", "ttyUSB1", "ttyS2", "ttyACM0", "ttyUSB0", "tty0", "null"}) {
        touch(dev.filePath(name));
    }
    ASSERT_TRUE(QFile::link(dev.filePath("ttyUSB1"),
                            dev.filePath("serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0")));
    const auto devices = listSerialDevices(dev.filePath("serial/by-id"), dev.path());
    std::vector<QString> paths;
    for (const auto& d : devices) paths.push_back(QDir(dev.path()).relativeFilePath(d.path));
    EXPECT_EQ(paths, (std::vector<QString>{"serial/by-id/usb-FTDI_FT232R_A1B2-if00-port0",
                                           "ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS2", "ttyS10"}));
    EXPECT_TRUE(devices[0].label.endsWith("(ttyUSB1)")) << devices[0].label.toStdString();

    // No by-id directory at all (no USB adapter plugged): the rest is still listed.
    EXPECT_EQ(listSerialDevices(dev.filePath("missing"), dev.path()).size(), 5u);
}

TEST(SerialDevicesTest, typedDevicesAreAPathOrANetworkPort) {
    for (const char* good :
         {"/dev/ttyUSB0", "tcp://192.168.1.20:4001", "rfc2217://shack:2217", ""}) {
        EXPECT_TRUE(checkDeviceText(good).isEmpty()) << good;
    }
    for (const char* bad :
         {"ttyUSB0", "COM3", "tcp://host", "tcp://host:0", "rfc2217://:99999", "tcp://host:port"}) {
        EXPECT_FALSE(checkDeviceText(bad).isEmpty()) << bad;
    }
}

}  // namespace
}  // namespace kt6
