// The names a station's line is given in the settings: its port (a COM name or a device) and
// its line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "link/comm32.h"
#include "link/line_control.h"

namespace kt6 {
namespace {

TEST(LineDevicePath, comNamesInAnyCaseOpenTheirMappingOrTheirDefault) {
    const std::map<int, std::string> map{{3, "/dev/ttyUSB3"}};
    std::vector<int> asked;
    const auto comMap = [&](int n) -> std::optional<std::string> {
        asked.push_back(n);
        const auto it = map.find(n);
        if (it == map.end()) return std::nullopt;
        return it->second;
    };
    EXPECT_EQ(lineDevicePath("COM3", comMap), "/dev/ttyUSB3");
    EXPECT_EQ(lineDevicePath("com3", comMap), "/dev/ttyUSB3");
    EXPECT_EQ(lineDevicePath("COM12", comMap), defaultComDevice(12));
    EXPECT_EQ(asked, (std::vector<int>{3, 3, 12}));
    EXPECT_EQ(lineDevicePath("COM3", nullptr), defaultComDevice(3));
}

TEST(LineDevicePath, anythingElseIsADevicePathAsWritten) {
    for (const char* port : {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI-if00", "COM0", "COM",
                             "COM3x", "COM-1", "tcp://shack:4001", "bio3"}) {
        EXPECT_EQ(lineDevicePath(port, [](int) { return std::optional<std::string>("mapped"); }),
                  port);
    }
}

TEST(ModemLineNames, rtsAndDtrInAnyCaseAndNothingElse) {
    EXPECT_EQ(parseModemLine("RTS"), ModemLine::Rts);
    EXPECT_EQ(parseModemLine("dtr"), ModemLine::Dtr);
    for (const char* other : {"", "CTS", "RTS ", "R", "DTRX"}) {
        EXPECT_EQ(parseModemLine(other), std::nullopt) << other;
    }
    EXPECT_EQ(modemLineName(ModemLine::Rts), "RTS");
    EXPECT_EQ(modemLineName(ModemLine::Dtr), "DTR");
}

}  // namespace
}  // namespace kt6
