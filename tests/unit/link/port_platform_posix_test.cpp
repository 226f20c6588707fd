// Port names and port errors on POSIX systems: COMn is /dev/ttyS(n-1), errors are errno's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>

#include "link/comm32.h"
#include "support/fake_serial.h"

namespace kt6 {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TEST(PortResolver, unmappedPortsOpenTheTtySDeviceOneBelowTheirNumber) {
    auto resolve = comPortResolver([](int n) -> std::optional<std::string> {
        if (n == 3) return std::string();
        return std::nullopt;
    });
    EXPECT_EQ(resolve("bio1"), "/dev/ttyS0");
    EXPECT_EQ(resolve("BIO3"), "/dev/ttyS2");
    EXPECT_EQ(resolve("bio10"), "/dev/ttyS9");
    EXPECT_EQ(resolve("bio13"), "/dev/ttyS12");
    EXPECT_EQ(defaultComDevice(3), "/dev/ttyS2");
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
