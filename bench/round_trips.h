#pragma once
// Round trips of one command (a key press) through the link's queue to an answering controller,
// timed on the wall clock after a warm-up and printed as BENCH lines; shared by the local and
// network benches.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "link/comm32.h"
#include "link/link.h"
#include "percentile.h"
#include "support/queued_pump.h"

namespace kt6::bench {

// Opens COM1 of port with the controller's line settings; says why not on stderr.
inline bool openControllerPort(Comm32& port, const char* program) {
    if (port.OpenPort("bio1") == 0 && port.SetPortParams(19200, 'n', 8, 1, 'N') == 0) return true;
    std::fprintf(stderr, "%s: %s\n", program,
                 portErrorText(port.PortError(), port.DevicePath()).c_str());
    return false;
}

// Prints "BENCH <name>_median" and "BENCH <name>_p99" in ms; returns how many exchanges failed.
inline int timeRoundTrips(Link& link, testing::QueuedPump& pump, const std::string& name) {
    constexpr int kWarmUp = 50;
    constexpr int kExchanges = 1000;
    using clock = std::chrono::steady_clock;
    link.enableExchanges();
    std::vector<double> ms;
    ms.reserve(kExchanges);
    int failures = 0;
    for (int i = 0; i < kWarmUp + kExchanges; ++i) {
        const auto start = clock::now();
        const std::uint8_t status = pump.send(8, {5}, false, 4, 100);
        const auto took = std::chrono::duration<double, std::milli>(clock::now() - start).count();
        if (status != 0) ++failures;
        if (i >= kWarmUp) ms.push_back(took);
    }
    std::printf("BENCH %s_median %.3f ms\n", name.c_str(), percentile(ms, 0.50));
    std::printf("BENCH %s_p99 %.3f ms\n", name.c_str(), percentile(ms, 0.99));
    return failures;
}

}  // namespace kt6::bench
