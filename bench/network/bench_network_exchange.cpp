// Round trip of one command (a key press) through the link's queue through ser2net on loopback, by
// its raw TCP accepter and by its RFC 2217 accepter, to an answering controller stand-in on the
// pseudo-terminal ser2net serves: the network's share beside bench_exchange's local figure.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "integration/network/ser2net_process.h"
#include "link/serial_network.h"
#include "round_trips.h"
#include "support/pty_peer.h"

namespace {

namespace fs = std::filesystem;
using kt6::testing::Accepter;

bool measure(Accepter accepter, const fs::path& dir) {
    const char* name = accepter == Accepter::Raw ? "tcp" : "rfc2217";
    kt6::testing::PtyPair pty;
    kt6::testing::PtyResponder controller(pty.master());
    kt6::testing::Ser2netProcess server(pty.slavePath(), accepter, dir, std::chrono::seconds(10));
    const std::string url = server.url();
    kt6::Comm32 port(kt6::makeSerialBackend(), kt6::comPortResolver([&](int) { return url; }));
    kt6::testing::RealTimePump pump(port);
    kt6::Link link(port);
    pump.attach(&link);
    if (!kt6::bench::openControllerPort(port, "bench_network_exchange")) return false;
    const int failures =
        kt6::bench::timeRoundTrips(link, pump, std::string("exchange_roundtrip_") + name);
    port.ClosePort();
    if (failures != 0) {
        std::fprintf(stderr, "bench_network_exchange: %s: %d exchanges failed\n", name, failures);
    }
    return failures == 0;
}

}  // namespace

int main() {
    const fs::path dir = fs::temp_directory_path() /
                         ("kt6-bench-net-" + std::to_string(static_cast<long>(::getpid())));
    int result = 0;
    try {
        fs::create_directories(dir);
        for (Accepter accepter : {Accepter::Raw, Accepter::Rfc2217}) {
            if (!measure(accepter, dir)) result = 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_network_exchange: %s\n", e.what());
        result = 1;
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return result;
}
