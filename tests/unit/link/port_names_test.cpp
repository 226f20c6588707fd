// Port names to device paths, and port errors to operator text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <map>
#include <memory>

#include "link/comm32.h"
#include "support/fake_serial.h"

namespace kt6 {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

// A settings map of COM numbers to devices that records which numbers it was asked for.
struct ComMap {
    std::map<int, std::string> devices;
    std::vector<int> asked;

    Comm32::PortResolver resolver() {
        return comPortResolver([this](int n) -> std::optional<std::string> {
            asked.push_back(n);
            auto it = devices.find(n);
            if (it == devices.end()) return std::nullopt;
            return it->second;
        });
    }
};

TEST(PortResolver, bioNamesInAnyCaseOpenTheDeviceMappedToTheirPort) {
    ComMap map{{{3, "/dev/ttyUSB0"}, {12, "/dev/pts/7"}}, {}};
    auto resolve = map.resolver();
    for (const char* name : {"bio3", "BIO3", "Bio3", "bIo3"}) {
        EXPECT_EQ(resolve(name), "/dev/ttyUSB0") << name;
    }
    EXPECT_EQ(resolve("bio12"), "/dev/pts/7");
    EXPECT_EQ(resolve("bio012"), "/dev/pts/7");
    EXPECT_EQ(map.asked, (std::vector<int>{3, 3, 3, 3, 12, 12}));
}

TEST(PortResolver, unmappedPortsOpenTheTtySDeviceOneBelowTheirNumber) {
    ComMap map{{{3, ""}}, {}};
    auto resolve = map.resolver();
    EXPECT_EQ(resolve("bio1"), "/dev/ttyS0");
    EXPECT_EQ(resolve("BIO3"), "/dev/ttyS2");
    EXPECT_EQ(resolve("bio10"), "/dev/ttyS9");
    EXPECT_EQ(resolve("bio13"), "/dev/ttyS12");
    EXPECT_EQ(defaultComDevice(3), "/dev/ttyS2");
}

TEST(PortResolver, withoutAMapEveryPortOpensItsDefaultDevice) {
    auto resolve = comPortResolver(nullptr);
    EXPECT_EQ(resolve("Bio3"), "/dev/ttyS2");
    EXPECT_EQ(resolve("bio10"), "/dev/ttyS9");
}

TEST(PortResolver, namesNotStartingWithBioAreDevicePathsAsGiven) {
    ComMap map{{{3, "/dev/ttyUSB0"}}, {}};
    auto resolve = map.resolver();
    for (const char* name : {"/dev/ttyUSB1", "/dev/bio3", "COM3", "bi", "b", ""}) {
        EXPECT_EQ(resolve(name), name);
    }
    EXPECT_TRUE(map.asked.empty());
}

TEST(PortResolver, bioNamesWithoutAPositiveNumberKeepTheirTextAndAskNoMap) {
    ComMap map{{{0, "/dev/ttyUSB0"}, {3, "/dev/ttyUSB1"}}, {}};
    auto resolve = map.resolver();
    for (const char* name :
         {"bio", "BIO", "bioX", "bio3a", "bio 3", "bio+3", "bio-3", "bio0", "bio99999999999"}) {
        EXPECT_EQ(resolve(name), name);
    }
    EXPECT_TRUE(map.asked.empty());
}

TEST(PortResolver, openPortHandsTheResolvedPathToTheDevice) {
    testing::FakeSerialState device;
    Comm32 port(std::make_unique<testing::FakeSerialBackend>(device), comPortResolver(nullptr));
    EXPECT_EQ(port.OpenPort("Bio3"), 0);
    EXPECT_EQ(device.openedPath, "/dev/ttyS2");
    EXPECT_EQ(port.DevicePath(), "/dev/ttyS2");
}

TEST(PortErrorText, permissionFailuresTellHowToJoinTheDialoutGroup) {
    for (int error : {EACCES, EPERM}) {
        const std::string text = portErrorText(error, "/dev/ttyS2");
        EXPECT_THAT(text, AllOf(StartsWith("/dev/ttyS2"), HasSubstr("permission denied"),
                                HasSubstr("dialout"), HasSubstr("sudo usermod -aG dialout $USER"),
                                HasSubstr("log in again")))
            << error;
    }
}

TEST(PortErrorText, aLockedPortIsBusyWithAnotherProgram) {
    for (int error : {EBUSY, EWOULDBLOCK}) {
        const std::string text = portErrorText(error, "/dev/ttyUSB0");
        EXPECT_THAT(
            text, AllOf(HasSubstr("/dev/ttyUSB0"), HasSubstr("busy"), HasSubstr("another program")))
            << error;
        EXPECT_THAT(text, Not(HasSubstr("dialout")));
    }
}

TEST(PortErrorText, missingDevicesAreNamedAsMissing) {
    for (int error : {ENOENT, ENODEV, ENXIO}) {
        EXPECT_THAT(portErrorText(error, "/dev/ttyS9"),
                    AllOf(HasSubstr("/dev/ttyS9"), HasSubstr("no such device")))
            << error;
    }
}

TEST(PortErrorText, shortWriteSuccessAndOtherErrorsHaveTheirOwnTexts) {
    EXPECT_THAT(portErrorText(Comm32::kShortWrite, "/dev/ttyS0"),
                AllOf(HasSubstr("/dev/ttyS0"), HasSubstr("short write")));
    EXPECT_THAT(portErrorText(0, "/dev/ttyS0"), AllOf(HasSubstr("/dev/ttyS0"), HasSubstr("OK")));
    EXPECT_THAT(portErrorText(EIO, "/dev/ttyS0"), HasSubstr("Input/output error"));
    EXPECT_THAT(portErrorText(-7, "/dev/ttyS0"), HasSubstr("-7"));
}

TEST(PortErrorText, withoutADeviceTheTextStillReadsWhole) {
    const std::string text = portErrorText(EACCES);
    EXPECT_THAT(text, AllOf(StartsWith("the serial port"), HasSubstr("dialout")));
    EXPECT_THAT(portErrorText(0), StartsWith("the serial port: OK"));
}

}  // namespace
}  // namespace kt6
