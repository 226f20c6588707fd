// Round trip of one command (a key press) through the link's queue on a COM port of this
// system's own serial backend, to whatever controller answers there: on Windows under Wine,
// kt6-sim behind COM7, through the Win32 communications calls.
//   bench_exchange_com N NAME    prints BENCH NAME_median and NAME_p99
#include <cstdio>
#include <exception>
#include <string>

#include "link/comm32.h"
#include "round_trips.h"
#include "support/real_time_pump.h"

namespace {

int run(int n, const std::string& name) {
    kt6::Comm32 port(kt6::makePlatformSerialBackend(), kt6::comPortResolver(nullptr));
    kt6::testing::RealTimePump pump(port);
    kt6::Link link(port);
    pump.attach(&link);
    const std::string portName = "bio" + std::to_string(n);
    if (port.OpenPort(portName) != 0 || port.SetPortParams(19200, 'n', 8, 1, 'N') != 0) {
        std::fprintf(stderr, "bench_exchange_com: %s\n",
                     kt6::portErrorText(port.PortError(), port.DevicePath()).c_str());
        return 1;
    }
    const int failures = kt6::bench::timeRoundTrips(link, pump, name);
    if (failures != 0) std::fprintf(stderr, "bench_exchange_com: %d exchanges failed\n", failures);
    return failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const auto n = argc == 3 ? kt6::portNumber(argv[1]) : std::nullopt;
    if (!n) {
        std::fprintf(stderr, "usage: bench_exchange_com PORT-NUMBER BENCH-NAME\n");
        return 2;
    }
    try {
        return run(*n, argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_exchange_com: %s\n", e.what());
        return 1;
    }
}
