// The registry's COM ports as the port dialog offers them on Windows: a pure ordering, so it
// is checked on every system.
#include <gtest/gtest.h>

#include "console/ports/serial_devices.h"

namespace kt6 {
namespace {

TEST(SerialDevicesTest, comPortsInNumberOrderAsDevicePathsEachOnce) {
    const auto devices = comPortDevices({{"\\Device\\VCP0", "COM10"},
                                         {"\\Device\\Serial0", "COM1"},
                                         {"\\Device\\com0com10", "CNCA0"},
                                         {"\\Device\\Serial1", "COM2"},
                                         {"\\Device\\Other", "com2"},
                                         {"\\Device\\Empty", " "}});
    std::vector<QString> paths;
    for (const auto& d : devices) paths.push_back(d.path);
    // COM10 only opens through the device namespace, so every port is offered that way.
    EXPECT_EQ(paths,
              (std::vector<QString>{"\\\\.\\COM1", "\\\\.\\COM2", "\\\\.\\COM10", "\\\\.\\CNCA0"}));
    EXPECT_EQ(devices[2].label, "COM10 (\\Device\\VCP0)");
    EXPECT_TRUE(comPortDevices({}).empty());
}

}  // namespace
}  // namespace kt6
