// Network port addresses in the COM map, and the texts the operator sees when they fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "link/comm32.h"
#include "link/serial_network.h"

namespace kt6 {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

TEST(NetworkAddress, tcpAndRfc2217AddressesGiveSchemeHostAndPort) {
    const auto tcp = parseNetworkAddress("tcp://controller.local:2000");
    ASSERT_TRUE(tcp);
    EXPECT_EQ(tcp->scheme, "tcp");
    EXPECT_EQ(tcp->host, "controller.local");
    EXPECT_EQ(tcp->port, 2000);
    EXPECT_EQ(tcp->label(), "controller.local:2000");

    const auto telnet = parseNetworkAddress("RFC2217://192.168.1.20:7000/");
    ASSERT_TRUE(telnet);
    EXPECT_EQ(telnet->scheme, "rfc2217");
    EXPECT_EQ(telnet->host, "192.168.1.20");
    EXPECT_EQ(telnet->port, 7000);

    const auto v6 = parseNetworkAddress("tcp://[::1]:65535");
    ASSERT_TRUE(v6);
    EXPECT_EQ(v6->host, "::1");
    EXPECT_EQ(v6->port, 65535);
    EXPECT_EQ(v6->label(), "[::1]:65535");
}

TEST(NetworkAddress, malformedAddressesAreRefusedAndDevicePathsAreNotNetworkPorts) {
    for (const char* bad : {"tcp://host", "tcp://:2000", "tcp://host:", "tcp://host:0",
                            "tcp://host:65536", "tcp://host:20x0", "tcp://::1:2000",
                            "tcp://[::1]2000", "tcp://host:2000/path", "udp://host:2000"}) {
        EXPECT_FALSE(parseNetworkAddress(bad)) << bad;
    }
    EXPECT_TRUE(isNetworkPort("TCP://host:1"));
    EXPECT_TRUE(isNetworkPort("tcp://host"));
    EXPECT_FALSE(isNetworkPort("/dev/ttyUSB0"));
    EXPECT_FALSE(isNetworkPort("bio3"));
    EXPECT_FALSE(isNetworkPort("telnet://host:23"));
}

TEST(NetworkAddress, aComMapEntryWithANetworkPortIsPassedOnAsItIs) {
    auto resolve = comPortResolver([](int n) -> std::optional<std::string> {
        if (n == 4) return "rfc2217://shack.lan:7001";
        return std::nullopt;
    });
    EXPECT_EQ(resolve("bio4"), "rfc2217://shack.lan:7001");
    EXPECT_EQ(resolve("tcp://other:1"), "tcp://other:1");
}

TEST(NetworkPortErrorText, namesHostAndPortAndSaysWhatToDo) {
    const std::string device = "tcp://controller.local:2000";
    EXPECT_THAT(portErrorText(ECONNREFUSED, device),
                AllOf(StartsWith("controller.local:2000: connection refused"), HasSubstr("ser2net"),
                      Not(HasSubstr("tcp://"))));
    EXPECT_THAT(portErrorText(ETIMEDOUT, device),
                AllOf(StartsWith("controller.local:2000: "), HasSubstr("3 s")));
    EXPECT_THAT(portErrorText(kHostNotFound, device), HasSubstr("host not found"));
    EXPECT_THAT(portErrorText(ECONNRESET, device), HasSubstr("connection dropped"));
    EXPECT_THAT(portErrorText(kNoPortControl, "rfc2217://controller.local:2001"),
                AllOf(StartsWith("controller.local:2001: "), HasSubstr("telnet(rfc2217)")));
    EXPECT_THAT(portErrorText(kLineSettingsRefused, "rfc2217://h:1"), HasSubstr("19200"));
    EXPECT_THAT(portErrorText(kBadNetworkAddress, "tcp://nowhere"),
                AllOf(StartsWith("tcp://nowhere: "), HasSubstr("tcp://HOST:PORT")));
    // Device errors keep their device texts; network errors on a device path get none of these.
    EXPECT_THAT(portErrorText(ENOENT, device), Not(HasSubstr("no such device")));
    EXPECT_THAT(portErrorText(ECONNREFUSED, "/dev/ttyS0"), Not(HasSubstr("ser2net")));
}

}  // namespace
}  // namespace kt6
