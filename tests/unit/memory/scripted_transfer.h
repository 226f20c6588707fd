#pragma once
// A block transfer on the controller stand-in, the port open and exchanges on, with no
// waiting between blocks: the ground of the block read and write tests.
#include <chrono>
#include <memory>

#include "link/comm32.h"
#include "link/link.h"
#include "memory/block_transfer.h"
#include "support/fake_pump.h"
#include "support/fake_serial.h"
#include "support/scripted_controller.h"

namespace kt6::testing {

struct ScriptedTransfer {
    ScriptedTransfer()
        : port(std::make_unique<FakeSerialBackend>(wire), nullptr),
          link(port, pump),
          transfer(link, [](std::chrono::milliseconds) {}) {
        pump.attach(&link);
        port.OpenPort("bio1");
        link.ExchangeEnabled = true;
    }

    FakeSerialState wire;
    ScriptedController controller{wire};
    FakePump pump;
    Comm32 port;
    Link link;
    BlockTransfer transfer;
};

}  // namespace kt6::testing
