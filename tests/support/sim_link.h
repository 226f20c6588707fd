#pragma once
// The console's link code on the in-process simulated controller, on a fake clock with the
// window's loop on it: a block transfer as the console runs it, and the controller's memory to
// look at.
#include <memory>
#include <string>
#include <vector>

#include "link/comm32.h"
#include "link/link.h"
#include "memory/block_transfer.h"
#include "sim/simulated_serial_backend.h"
#include "support/fake_pump.h"
#include "support/trace_frames.h"

namespace kt6::testing {

struct SimLink {
    explicit SimLink(sim::Firmware firmware, int units = 1, sim::BlockFaults faults = {}) {
        sim::ModelOptions options;
        options.controller.firmware = firmware;
        options.controller.units = units;
        options.blockFaults = std::move(faults);
        auto owned = std::make_unique<sim::SimulatedSerialBackend>(
            options, [this] { return clock.time(); }, [](sim::TimePoint) {});
        backend = owned.get();
        port = std::make_unique<Comm32>(std::move(owned), nullptr);
        link = std::make_unique<Link>(*port);
        pump.attach(link.get());
        pump.inputWaiting = [this] { return port->InputCount() > 0; };
        port->OpenPort("bio1");
        port->SetPortParams(19200, 'n', 8, 1, 'N');
        backend->model().setTrace([this](std::string_view line) { trace.emplace_back(line); });
        transfer = std::make_unique<BlockTransfer>(
            *link, pump.waiter(), [this](std::chrono::milliseconds d) { pauses.push_back(d); });
    }

    sim::ControllerMemory& memory(int unit = 0) {
        return backend->model().controller().memory(unit);
    }
    std::uint16_t version() const {
        return sim::firmwareVersion(backend->model().controller().config().firmware);
    }
    // Every command frame the controller received, as content (checksum removed), in order.
    std::vector<Bytes> received() const { return framesReceived(trace); }
    // The codes of the commands received, status requests left out.
    std::vector<int> codes() const {
        std::vector<int> out;
        for (const auto& c : received()) {
            if (c.size() >= 2 && c[1] != 1) out.push_back(c[1]);
        }
        return out;
    }

    FakeClock clock;
    // The transfer's exchanges wait on the port themselves, through the loop's port waiter.
    FakePump pump{clock};
    sim::SimulatedSerialBackend* backend = nullptr;
    std::unique_ptr<Comm32> port;
    std::unique_ptr<Link> link;
    std::unique_ptr<BlockTransfer> transfer;
    std::vector<std::chrono::milliseconds> pauses;
    std::vector<std::string> trace;
};

}  // namespace kt6::testing
