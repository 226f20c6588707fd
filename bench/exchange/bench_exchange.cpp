// Round trip of one SendCommand (a key press) to an answering controller stand-in over a
// pseudo-terminal: frame out through comm32, reply decoded, status returned.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <vector>

#include "link/comm32.h"
#include "link/link.h"
#include "support/pty_peer.h"

namespace {

constexpr int kWarmUp = 50;
constexpr int kExchanges = 1000;

double percentileMs(std::vector<double> sortedMs, double fraction) {
    const auto rank = static_cast<std::size_t>(fraction * static_cast<double>(sortedMs.size()));
    return sortedMs[std::min(rank, sortedMs.size() - 1)];
}

int run() {
    using clock = std::chrono::steady_clock;
    kt6::testing::PtyPair pty;
    kt6::testing::PtyResponder controller(pty.master());
    kt6::Comm32 port(kt6::makePlatformSerialBackend(),
                     kt6::comPortResolver([&](int) { return pty.slavePath(); }));
    kt6::testing::RealTimePump pump(port);
    kt6::Link link(port, pump);
    pump.attach(&link);
    if (port.OpenPort("bio1") != 0 || port.SetPortParams(19200, 'n', 8, 1, 'N') != 0) {
        std::fprintf(stderr, "bench_exchange: %s\n",
                     kt6::portErrorText(port.PortError(), port.DevicePath()).c_str());
        return 1;
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
    std::sort(ms.begin(), ms.end());
    std::printf("BENCH exchange_roundtrip_median %.3f ms\n", percentileMs(ms, 0.50));
    std::printf("BENCH exchange_roundtrip_p99 %.3f ms\n", percentileMs(ms, 0.99));
    if (failures != 0) std::fprintf(stderr, "bench_exchange: %d exchanges failed\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_exchange: %s\n", e.what());
        return 1;
    }
}
