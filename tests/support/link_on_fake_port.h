#pragma once
// The console's link on the in-memory port and the fake loop: COM1 open at the controller's
// line settings, the loop's waits ending as soon as input is there. Exchanges stay off until a
// test turns them on, as the console's start-up does.
#include <memory>

#include "link/comm32.h"
#include "link/link.h"
#include "support/fake_clock.h"
#include "support/fake_pump.h"
#include "support/fake_serial.h"

namespace kt6::testing {

struct LinkOnFakePort {
    LinkOnFakePort() : port(std::make_unique<FakeSerialBackend>(wire), nullptr), link(port) {
        pump.attach(&link);
        pump.inputWaiting = [this] { return !wire.input.empty(); };
        port.OpenPort("bio1");
        port.SetPortParams(19200, 'n', 8, 1, 'N');
    }

    FakeSerialState wire;
    FakeClock clock;
    FakePump pump{clock};
    Comm32 port;
    Link link;
};

}  // namespace kt6::testing
