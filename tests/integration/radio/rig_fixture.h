#pragma once
// What the radio tests and the latency benchmark share: a child process stopped by its PID,
// a free loopback port, rigctld with the dummy rig on it, and a simulated controller behind
// comm32 that notes when each command 3 arrives.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/bytes.h"
#include "link/comm32.h"
#include "link/frame.h"
#include "link/serial_backend.h"
#include "sim/simulated_serial_backend.h"
#include "support/loopback_listener.h"

namespace kt6::testing {

// A process this test started; stopped (SIGTERM, then reaped) when it goes.
class ChildProcess {
  public:
    // Starts argv[0] from PATH; nothing when it cannot be started. Its stdout is dropped.
    static std::optional<ChildProcess> spawn(const std::vector<std::string>& argv);
    ChildProcess(ChildProcess&& other) noexcept : pid_(std::exchange(other.pid_, -1)) {}
    ChildProcess& operator=(ChildProcess&& other) noexcept {
        if (this != &other) {
            stop();
            pid_ = std::exchange(other.pid_, -1);
        }
        return *this;
    }
    ~ChildProcess() { stop(); }

    pid_t pid() const { return pid_; }
    void stop();
    // Waits for the process to end by itself; its exit code, or -1 when it did not exit.
    int wait();

  private:
    explicit ChildProcess(pid_t pid) : pid_(pid) {}
    pid_t pid_ = -1;
};

// Whether the dummy rig served by rigctld has a PTT it can be asked for.
enum class RigPtt { None, Rig };
// rigctld serving Hamlib's dummy rig on 127.0.0.1:port. Without a PTT, asking for it gets
// "feature not available", as from a radio that cannot report it.
std::optional<ChildProcess> startRigctld(int port, RigPtt ptt = RigPtt::None);
// Runs rigctl against 127.0.0.1:port with the given command words; its exit code.
int runRigctl(int port, const std::vector<std::string>& words);

struct FrequencyArrival {
    std::chrono::steady_clock::time_point at;
    Bytes payload;
};

// The simulated controller, also noting every command 3 that reaches it.
class RecordingSimBackend : public SerialBackend {
  public:
    RecordingSimBackend();

    int open(const std::string& path) override { return sim_.open(path); }
    int close() override { return sim_.close(); }
    bool isOpen() const override { return sim_.isOpen(); }
    std::uint32_t transmitQueueSize() override { return sim_.transmitQueueSize(); }
    int configure(const LineSettings& s) override { return sim_.configure(s); }
    bool queueCounts(std::uint32_t& in, std::uint32_t& out) override {
        return sim_.queueCounts(in, out);
    }
    long read(std::uint8_t* b, std::size_t n) override { return sim_.read(b, n); }
    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override;
    bool waitReadable(std::chrono::milliseconds t) override { return sim_.waitReadable(t); }

    sim::ControllerModel& model() { return sim_.model(); }
    std::vector<FrequencyArrival> arrivals() const;

  private:
    sim::SimulatedSerialBackend sim_;
    FrameReceiver rx_;
    mutable std::mutex mutex_;
    std::vector<FrequencyArrival> arrivals_;
};

}  // namespace kt6::testing
