#pragma once
// A real serial device for tests and benchmarks: a pseudo-terminal whose slave is the port
// under test and whose master is the far end of the cable; a controller stand-in on a thread
// of its own that answers frames from the master; and an event pump on the real clock.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/bytes.h"
#include "link/comm32.h"
#include "link/link.h"
#include "support/queued_pump.h"
#include "support/real_time_pump.h"

namespace kt6::testing {

// A master and slave pair; the slave is also held open by the pair itself, so the master
// never sees a hang-up while the port under test is closed and reopened.
class PtyPair {
  public:
    // Throws std::system_error when the system has no pseudo-terminal to give.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int master() const { return master_; }

    // Writes all of bytes into the master, as the controller would transmit them.
    void send(const Bytes& bytes);
    // What the port under test wrote: reads the master until n bytes came or the time is up.
    Bytes receive(std::size_t n, std::chrono::milliseconds within);
    // The far end goes away, as an unplugged adapter or an ended simulator: the master is
    // closed, which hangs up every open descriptor of the slave. No responder may be running.
    void hangUp();

  private:
    int master_ = -1;
    int slaveKeeper_ = -1;
    std::string slavePath_;
};

// The answer to every command the stand-in receives: its sequence byte echoed and status 0.
Bytes statusZeroReply(const Bytes& content);

// Decodes frames arriving at the master and answers each with the reply function's bytes
// (none for no answer). Contents are kept without their checksum byte.
class PtyResponder {
  public:
    using Reply = std::function<std::optional<Bytes>(const Bytes& content)>;

    explicit PtyResponder(int master, Reply reply = statusZeroReply);
    ~PtyResponder();
    PtyResponder(const PtyResponder&) = delete;
    PtyResponder& operator=(const PtyResponder&) = delete;

    std::vector<Bytes> frames() const;
    // True once at least n frames arrived, false when the time ran out first.
    bool waitForFrames(std::size_t n, std::chrono::milliseconds within) const;

  private:
    void run();

    int master_;
    Reply reply_;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    mutable std::condition_variable arrived_;
    std::vector<Bytes> frames_;
    std::thread thread_;
};

}  // namespace kt6::testing
