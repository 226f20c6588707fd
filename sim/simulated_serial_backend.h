#pragma once
// A serial port with the simulated controller at its far end, in this process: what is
// written goes to the controller model, and what it answers can be read once its due time has
// passed. Time is steady_clock unless a test gives its own clock and sleep.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "link/serial_backend.h"
#include "sim/controller_model.h"

namespace kt6::sim {

class SimulatedSerialBackend final : public SerialBackend {
  public:
    using NowFunction = std::function<TimePoint()>;
    using SleepFunction = std::function<void(TimePoint until)>;

    // Any path opens: the console's port names all lead to the one simulated controller,
    // which keeps running (and keeps its state) while the port is closed.
    explicit SimulatedSerialBackend(ModelOptions options = {}, NowFunction now = {},
                                    SleepFunction sleepUntil = {});

    int open(const std::string& path) override;
    int close() override;
    bool isOpen() const override { return open_; }
    std::uint32_t transmitQueueSize() override { return 0; }
    int configure(const LineSettings& settings) override;
    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override;
    long read(std::uint8_t* buffer, std::size_t n) override;
    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override;
    bool waitReadable(std::chrono::milliseconds timeout) override;

    ControllerModel& model() { return model_; }
    const std::string& path() const { return path_; }

  private:
    NowFunction now_;
    SleepFunction sleepUntil_;
    ControllerModel model_;
    Bytes ready_;  // due bytes taken from the model and not read yet
    bool open_ = false;
    std::string path_;
};

// The simulated port as comm32 takes it.
std::unique_ptr<SerialBackend> makeSimulatedSerialBackend(ModelOptions options = {});

}  // namespace kt6::sim
