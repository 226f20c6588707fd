// The settings' port rules a program without the window follows: the COM number chosen last
// and the device each COM number opens.
#include "core/port_settings.h"
#include "link/comm32.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "memory/profile_file.h"

namespace kt6 {
namespace {

class PortSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kt6-port-settings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        path = dir / "skarnel.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

    std::filesystem::path dir, path;
};

TEST_F(PortSettingsTest, theChosenPortIsSerialportOrCom1) {
    EXPECT_EQ(settingsComPort(ProfileFile(path)), 1);  // no file at all
    write("[General]\r\nSerialport=4\r\n");
    EXPECT_EQ(settingsComPort(ProfileFile(path)), 4);
    write("[general]\nSERIALPORT = \"12\"\n");
    EXPECT_EQ(settingsComPort(ProfileFile(path)), 12);
}

TEST_F(PortSettingsTest, aSerialportThatNamesNoPortIsToldAndCom1Taken) {
    for (const char* value : {"COM3", "3a", "0", "-2", "99999999999"}) {
        write(std::string("[General]\nSerialport=") + value + "\n");
        std::string problem;
        EXPECT_EQ(settingsComPort(ProfileFile(path), &problem), 1) << value;
        EXPECT_EQ(problem, "\"" + std::string(value) + "\" is not a valid serial port number in " +
                               path.string() + "; COM1 is used.");
    }
}

TEST_F(PortSettingsTest, eachComNumberOpensItsMappingElseTheDefaultDevice) {
    write("[Ports]\nCOM3=/dev/ttyUSB0\ncom4 = tcp://shack-pi.local:2000\nCOM5=\n");
    const ProfileFile settings(path);
    EXPECT_EQ(settingsComDevice(settings, 3), "/dev/ttyUSB0");
    EXPECT_EQ(settingsComDevice(settings, 4), "tcp://shack-pi.local:2000");
    EXPECT_EQ(settingsComMapping(settings, 5), std::nullopt);
    EXPECT_EQ(settingsComDevice(settings, 5), defaultComDevice(5));
    EXPECT_EQ(settingsComDevice(settings, 1), defaultComDevice(1));
}

TEST(ComPortNumber, readsTheMenusNamesOnly) {
    EXPECT_EQ(comPortNumber("COM3"), 3);
    EXPECT_EQ(comPortNumber("com12"), 12);
    for (const char* notOne :
         {"COM", "COM0", "COM-1", "COM3 ", "COMx", "/dev/ttyS0", "bio3", "tcp://host:2000", ""}) {
        EXPECT_FALSE(comPortNumber(notOne)) << notOne;
    }
}

}  // namespace
}  // namespace kt6
