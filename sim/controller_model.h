#pragma once
// The simulated controller as the wire sees it: bytes in with the time they were seen, bytes out
// with the time they are due. Frames are assembled with the link's codec; a retransmission of
// the frame last executed is answered again without running it twice; faults are injected
// here; with pacing on, the wire's 19200 bit/s holds both ways: a command is taken when its end
// byte could have arrived, and its reply leaves at that rate.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

#include "link/bytes.h"
#include "link/frame.h"
#include "sim/controller.h"
#include "sim/faults.h"
#include "sim/sim_clock.h"

namespace kt6::sim {

// Ten bits a byte (start, eight data, stop) at 19200 bit/s.
inline constexpr Duration kByteTime =
    std::chrono::duration_cast<Duration>(std::chrono::nanoseconds(1'000'000'000LL * 10 / 19200));
// From a command's end byte to the first byte of its reply.
inline constexpr Duration kTurnaround = std::chrono::milliseconds(2);
// Longer than any sender's tries of one frame (4 block writes of 6 s each).
inline constexpr Duration kRepeatWindow = std::chrono::seconds(30);
// A block write waits for the memory to take it.
inline constexpr Duration kBlockWriteTime = std::chrono::milliseconds(25);

struct ModelOptions {
    ControllerConfig controller;
    bool pace = false;
    FaultRates faults;
    BlockFaults blockFaults;
    std::uint64_t seed = 1;
};

class ControllerModel {
  public:
    using TraceSink = std::function<void(std::string_view line)>;

    explicit ControllerModel(ModelOptions options, TimePoint start = {});

    // Bytes the console wrote, seen at this time. Paced, each is taken one byte time after the
    // later of `at` and the end of the byte before it, so a frame read in one piece still runs
    // only once its end byte could have crossed the line.
    void receive(std::span<const std::uint8_t> bytes, TimePoint at);
    // When the next byte is due; nothing when nothing is queued.
    std::optional<TimePoint> nextDue() const;
    // Removes and returns every byte due at or before now, in order.
    Bytes takeDue(TimePoint now);
    // Bytes due at or before now and not yet taken.
    std::size_t dueCount(TimePoint now) const;
    // Forgets replies not yet taken, as purging the line does.
    void discardOutput() { out_.clear(); }

    // Receives one line per frame in and out.
    void setTrace(TraceSink sink) { trace_ = std::move(sink); }

    Controller& controller() { return controller_; }
    const Controller& controller() const { return controller_; }
    // Commands the controller ran (repeats answered from memory not counted).
    std::uint64_t executedCount() const { return executed_; }
    TimePoint start() const { return start_; }

  private:
    void frameArrived(const Bytes& wire, TimePoint at);
    // A read of a block the options mishandle: the reply as the faulty controller gives it,
    // or nothing when it stays silent.
    std::optional<Bytes> faultyBlockReply(const Bytes& command, Bytes reply) const;
    void send(const Bytes& reply, const Bytes& command, TimePoint due, std::string_view note);
    void traceLine(TimePoint at, const char* direction, const Bytes& wire, const std::string& text);

    struct Pending {
        TimePoint due;
        std::uint8_t byte;
    };

    ModelOptions options_;
    Controller controller_;
    FaultInjector faults_;
    FrameReceiver receiver_;
    Bytes wireIn_;  // the raw bytes of the frame being received, for the trace
    std::deque<Pending> out_;
    TimePoint lineFreeAt_{};    // our sending side: when the last queued reply byte has left
    TimePoint rxLineFreeAt_{};  // the console's side: when its last byte has arrived
    Bytes lastCommand_;
    TimePoint lastCommandAt_{};
    Bytes lastReply_;
    std::uint64_t executed_ = 0;
    TimePoint start_;
    TraceSink trace_;
};

}  // namespace kt6::sim
