// Port names and port errors on Windows: COMn is \\.\COMn, errors are GetLastError() codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <windows.h>

#include "link/comm32.h"
#include "link/line_control.h"

namespace kt6 {
namespace {

using ::testing::AllOf;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::Not;

TEST(Win32PortNames, everyComNumberIsItsDeviceNamespacePath) {
    auto resolve = comPortResolver(nullptr);
    EXPECT_EQ(resolve("Bio3"), "\\\\.\\COM3");
    EXPECT_EQ(resolve("bio13"), "\\\\.\\COM13");
    EXPECT_EQ(lineDevicePath("com10", nullptr), "\\\\.\\COM10");
}

TEST(Win32PortErrorText, missingBusyAndOtherErrorsSayWhatTheyAre) {
    for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND}) {
        EXPECT_THAT(portErrorText(static_cast<std::int32_t>(error), "\\\\.\\COM7"),
                    AllOf(HasSubstr("COM7"), HasSubstr("no such device")))
            << error;
    }
    // A COM port is one program's at a time: a second open is refused as access denied.
    const std::string busy = portErrorText(ERROR_ACCESS_DENIED, "\\\\.\\COM7");
    EXPECT_THAT(busy, AllOf(HasSubstr("busy"), HasSubstr("another program")));
    EXPECT_THAT(busy, Not(HasSubstr("dialout")));
    // The system's own text, on the line without its CR LF.
    const std::string other = portErrorText(ERROR_INVALID_PARAMETER, "\\\\.\\COM7");
    EXPECT_THAT(other, AllOf(HasSubstr("COM7: "), Not(EndsWith("\n")), Not(HasSubstr("\r"))));
    EXPECT_GT(other.size(), std::string("\\\\.\\COM7: ").size() + 3);
    EXPECT_THAT(lineErrorReason(ERROR_GEN_FAILURE), HasSubstr("went away"));
}

}  // namespace
}  // namespace kt6
