// Round trip of one SendCommand (a key press) through ser2net on loopback, by its raw TCP
// accepter and by its RFC 2217 accepter, to an answering controller stand-in on the
// pseudo-terminal ser2net serves: the network's share beside bench_exchange's local figure.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "integration/network/ser2net_process.h"
#include "link/comm32.h"
#include "link/link.h"
#include "link/serial_network.h"
#include "support/pty_peer.h"

namespace {

namespace fs = std::filesystem;
using kt6::testing::Accepter;

constexpr int kWarmUp = 50;
constexpr int kExchanges = 1000;

double percentileMs(const std::vector<double>& sortedMs, double fraction) {
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(sortedMs.size()));
    return sortedMs[std::min(rank, sortedMs.size() - 1)];
}

bool measure(Accepter accepter, const fs::path& dir) {
    using clock = std::chrono::steady_clock;
    const char* name = accepter == Accepter::Raw ? "tcp" : "rfc2217";
    kt6::testing::PtyPair pty;
    kt6::testing::PtyResponder controller(pty.master());
    kt6::testing::Ser2netProcess server(pty.slavePath(), accepter, dir, std::chrono::seconds(10));
    const std::string url = server.url();
    kt6::Comm32 port(kt6::makeSerialBackend(), kt6::comPortResolver([&](int) { return url; }));
    kt6::testing::RealTimePump pump(port);
    kt6::Link link(port, pump);
    pump.attach(&link);
    if (port.OpenPort("bio1") != 0 || port.SetPortParams(19200, 'n', 8, 1, 'N') != 0) {
        std::fprintf(stderr, "bench_network_exchange: %s\n",
                     kt6::portErrorText(port.PortError(), port.DevicePath()).c_str());
        return false;
    }
    link.ExchangeEnabled = true;

    std::vector<double> ms;
    ms.reserve(kExchanges);
    int failures = 0;
    for (int i = 0; i < kWarmUp + kExchanges; ++i) {
        const auto start = clock::now();
        const std::uint8_t status = link.SendCommand(8, {5}, false, 4, 100);
        const auto took = std::chrono::duration<double, std::milli>(clock::now() - start).count();
        if (status != 0) ++failures;
        if (i >= kWarmUp) ms.push_back(took);
    }
    port.ClosePort();
    std::sort(ms.begin(), ms.end());
    std::printf("BENCH exchange_roundtrip_%s_median %.3f ms\n", name, percentileMs(ms, 0.50));
    std::printf("BENCH exchange_roundtrip_%s_p99 %.3f ms\n", name, percentileMs(ms, 0.99));
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
