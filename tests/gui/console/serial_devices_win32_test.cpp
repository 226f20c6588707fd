// Typed devices in the port dialog on Windows.
#include <gtest/gtest.h>

#include "console/ports/serial_devices.h"

namespace kt6 {
namespace {

TEST(SerialDevicesTest, typedDevicesAreAComPortOrANetworkPort) {
    for (const char* good :
         {"COM3", "com9", "\\\\.\\COM12", "tcp://192.168.1.20:4001", "rfc2217://shack:2217", ""}) {
        EXPECT_TRUE(checkDeviceText(good).isEmpty()) << good;
    }
    // A plain COM10 does not open on Windows; a POSIX path is no device here.
    for (const char* bad : {"COM10", "COM0", "/dev/ttyUSB0", "ttyUSB0", "\\\\.\\", "tcp://host",
                            "tcp://host:0", "rfc2217://:99999"}) {
        EXPECT_FALSE(checkDeviceText(bad).isEmpty()) << bad;
    }
}

}  // namespace
}  // namespace kt6
