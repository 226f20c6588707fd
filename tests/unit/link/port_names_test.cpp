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

TEST(PortResolver, unmappedPortsOpenTheirDefaultDevice) {
    ComMap map{{{3, ""}}, {}};
    auto resolve = map.resolver();
    EXPECT_EQ(resolve("BIO3"), defaultComDevice(3));
    EXPECT_EQ(comPortResolver(nullptr)("bio10"), defaultComDevice(10));
    EXPECT_EQ(comPortResolver(nullptr, [](int n) { return "dev" + std::to_string(n); })("Bio7"),
              "dev7");
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

}  // namespace
}  // namespace kt6
