#pragma once
// A block transfer on the controller stand-in, the port open and exchanges on, with no
// waiting between blocks: the ground of the block read and write tests.
#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

#include "memory/block_transfer.h"
#include "support/link_on_fake_port.h"
#include "support/scripted_controller.h"

namespace kt6::testing {

struct ScriptedTransfer : LinkOnFakePort {
    ScriptedTransfer() { link.enableExchanges(); }

    // The block operations played to their end: true on failure.
    bool readBlock(int block, std::string_view layout, std::string_view section) {
        return played([&](BlockTransfer::Done done) {
            transfer.ReadBlockToLog(block, layout, section, std::move(done));
        });
    }
    bool writeBlock(int block, std::string_view layout, std::string_view section) {
        return played([&](BlockTransfer::Done done) {
            transfer.WriteBlockFromFile(block, layout, section, std::move(done));
        });
    }
    bool writeSetup(std::uint8_t command, const Bytes& block) {
        return played([&](BlockTransfer::Done done) {
            transfer.WriteSetupBlock(command, block, std::move(done));
        });
    }

    ScriptedController controller{wire};
    BlockTransfer transfer{link, pump.waiter(), [](std::chrono::milliseconds) {}};

  private:
    template <typename Start>
    bool played(Start start) {
        std::optional<bool> failed;
        start([&failed](bool f) { failed = f; });
        // The blocking form tells its result before it returns; a result never told counts as
        // a failure.
        return failed.value_or(true);
    }
};

}  // namespace kt6::testing
