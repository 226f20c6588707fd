// Round trip of one command (a key press) through the link's queue to an answering controller
// stand-in over a pseudo-terminal: frame out through comm32, reply decoded, status returned.
#include <cstdio>
#include <exception>

#include "round_trips.h"
#include "support/pty_peer.h"

namespace {

int run() {
    kt6::testing::PtyPair pty;
    kt6::testing::PtyResponder controller(pty.master());
    kt6::Comm32 port(kt6::makePlatformSerialBackend(),
                     kt6::comPortResolver([&](int) { return pty.slavePath(); }));
    kt6::testing::RealTimePump pump(port);
    kt6::Link link(port);
    pump.attach(&link);
    if (!kt6::bench::openControllerPort(port, "bench_exchange")) return 1;
    const int failures = kt6::bench::timeRoundTrips(link, pump, "exchange_roundtrip");
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
