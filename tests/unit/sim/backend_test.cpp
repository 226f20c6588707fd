// The in-process port: the console's own link code talking to the simulated controller, with
// the pump's fake clock as the backend's clock.
#include <gtest/gtest.h>

#include "link/comm32.h"
#include "link/link.h"
#include "link/status.h"
#include "sim/simulated_serial_backend.h"
#include "support/fake_pump.h"

namespace kt6::sim {
namespace {

using namespace std::chrono_literals;

class SimulatedPort : public ::testing::Test {
  protected:
    SimulatedPort() {
        auto owned = std::make_unique<SimulatedSerialBackend>(
            ModelOptions{}, [this] { return clock.time(); }, [](TimePoint) {});
        backend = owned.get();
        port = std::make_unique<Comm32>(std::move(owned), nullptr);
        link = std::make_unique<Link>(*port);
        pump.attach(link.get());
        pump.inputWaiting = [this] { return port->InputCount() > 0; };
        EXPECT_EQ(port->OpenPort("bio3"), 0);
        EXPECT_EQ(port->SetPortParams(19200, 'n', 8, 1, 'N'), 0);
        link->enableExchanges();
    }

    kt6::testing::FakeClock clock;
    kt6::testing::FakePump pump{clock};
    SimulatedSerialBackend* backend = nullptr;
    std::unique_ptr<Comm32> port;
    std::unique_ptr<Link> link;
};

TEST_F(SimulatedPort, AnyPortNameOpens) {
    EXPECT_TRUE(port->IsOpen());
    EXPECT_EQ(port->OpenPort("/dev/does-not-exist"), 0);
}

TEST_F(SimulatedPort, SendCommandGetsTheStatusRecord) {
    ASSERT_EQ(pump.send(1, {}, false, 1, 200), 0);
    // The record counts from the sequence byte.
    Bytes record = pump.lastReply;
    record.insert(record.begin(), 2, 0);
    const auto status = decodeStatusRecord(record);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->firmwareMinor, 13);
    EXPECT_EQ(status->frequency, 14150);
}

TEST_F(SimulatedPort, AKeyPressReachesTheController) {
    ASSERT_EQ(pump.send(8, {7}, false, 4, 100), 0);
    EXPECT_EQ(backend->model().controller().frequency(), 7050);
}

TEST_F(SimulatedPort, RepliesAreReadableOnlyOnceDue) {
    // Time alone passes: no link reads what arrives.
    pump.attach(nullptr);
    const Bytes frame = encodeFrame(Bytes{0x05, 0x01}).value();
    std::size_t written = 0;
    ASSERT_EQ(backend->write(frame.data(), frame.size(), written), 0);
    std::uint32_t in = 0, out = 0;
    ASSERT_TRUE(backend->queueCounts(in, out));
    EXPECT_EQ(in, 0u);
    pump.advance(std::chrono::ceil<std::chrono::milliseconds>(kTurnaround));
    ASSERT_TRUE(backend->queueCounts(in, out));
    EXPECT_EQ(in, 16u);
}

TEST_F(SimulatedPort, WaitReadableSleepsUntilTheNextDueByteOrTheTimeout) {
    std::vector<TimePoint> sleeps;
    SimulatedSerialBackend sim(
        ModelOptions{}, [] { return TimePoint{} + 1s; }, [&](TimePoint t) { sleeps.push_back(t); });
    sim.open("sim:");
    EXPECT_FALSE(sim.waitReadable(100ms));
    const Bytes frame = encodeFrame(Bytes{0x05, 0x01}).value();
    std::size_t written = 0;
    sim.write(frame.data(), frame.size(), written);
    EXPECT_TRUE(sim.waitReadable(100ms));
    ASSERT_EQ(sleeps.size(), 2u);
    EXPECT_EQ(sleeps[0], TimePoint{} + 1s + 100ms);
    EXPECT_EQ(sleeps[1], TimePoint{} + 1s + kTurnaround);
}

TEST_F(SimulatedPort, ClosingLosesPendingRepliesButNotTheControllerState) {
    ASSERT_EQ(pump.send(8, {7}, false, 4, 100), 0);
    const Bytes frame = encodeFrame(Bytes{0x05, 0x01}).value();
    std::size_t written = 0;
    backend->write(frame.data(), frame.size(), written);
    port->ClosePort();
    port->OpenPort("bio3");
    pump.advance(1s);
    EXPECT_EQ(port->InputCount(), 0);
    EXPECT_EQ(backend->model().controller().frequency(), 7050);
}

}  // namespace
}  // namespace kt6::sim
