#pragma once
// Opens that wait for the test: backends whose open blocks, on whichever thread runs it, until
// the gate lets it through or the open is given up. What happens to them is counted under the
// gate's lock, so a test reads it safely while a worker thread runs; the gate lives as long as
// the last of its backends.
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "link/serial_backend.h"

namespace kt6::testing {

class OpenGate : public std::enable_shared_from_this<OpenGate> {
  public:
    struct Counts {
        int made = 0;     // backends made
        int alive = 0;    // backends not yet destroyed
        int waiting = 0;  // opens blocked at the gate now
        int opensStarted = 0;
        int openNow = 0;    // backends open now
        int cancelled = 0;  // opens that ended because they were given up
        int configured = 0;
        LineSettings lastSettings;
        std::string lastPath;
    };

    // Lets the opens waiting now through: each opens, or fails with error.
    void release(int error = 0) {
        std::lock_guard lock(mutex_);
        passes_ += counts_.waiting;
        passError_ = error;
        changed_.notify_all();
    }
    // Every open that passes from now on fails with error, or (0) opens at once.
    void openFreely(int error = 0) {
        std::lock_guard lock(mutex_);
        free_ = true;
        passError_ = error;
        changed_.notify_all();
    }
    // The devices open now go away, as a dropped connection does.
    void dropAll() {
        std::lock_guard lock(mutex_);
        ++drops_;
    }
    Counts counts() const {
        std::lock_guard lock(mutex_);
        return counts_;
    }
    // Waits until the counts satisfy pred, or the deadline passes; true when they did.
    bool waitFor(const std::function<bool(const Counts&)>& pred, std::chrono::milliseconds within) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, within, [&] { return pred(counts_); });
    }
    // A backend behind this gate.
    std::unique_ptr<SerialBackend> make(std::function<bool()> cancelled = {});

  private:
    class Backend;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Counts counts_;
    int passes_ = 0;
    int passError_ = 0;
    bool free_ = false;
    int drops_ = 0;
};

class OpenGate::Backend final : public SerialBackend {
  public:
    Backend(std::shared_ptr<OpenGate> gate, std::function<bool()> cancelled)
        : gate_(std::move(gate)), cancelled_(std::move(cancelled)) {
        std::lock_guard lock(gate_->mutex_);
        ++gate_->counts_.made;
        ++gate_->counts_.alive;
        drops_ = gate_->drops_;
        gate_->changed_.notify_all();
    }
    ~Backend() override {
        close();
        std::lock_guard lock(gate_->mutex_);
        --gate_->counts_.alive;
        gate_->changed_.notify_all();
    }

    int open(const std::string& path) override {
        std::unique_lock lock(gate_->mutex_);
        OpenGate& g = *gate_;
        g.counts_.lastPath = path;
        ++g.counts_.opensStarted;
        ++g.counts_.waiting;
        g.changed_.notify_all();
        bool given = false;
        // Looked at every few milliseconds: the flag that says the open was given up has no
        // way to wake this wait.
        while (!g.free_ && g.passes_ == 0) {
            if (cancelled_ && cancelled_()) {
                given = true;
                break;
            }
            g.changed_.wait_for(lock, std::chrono::milliseconds(2));
        }
        --g.counts_.waiting;
        if (given) {
            ++g.counts_.cancelled;
            g.changed_.notify_all();
            return ECANCELED;
        }
        if (!g.free_) --g.passes_;
        const int error = g.passError_;
        if (error == 0) {
            open_ = true;
            drops_ = g.drops_;
            ++g.counts_.openNow;
        }
        g.changed_.notify_all();
        return error;
    }
    int close() override {
        std::lock_guard lock(gate_->mutex_);
        if (!open_) return EBADF;
        open_ = false;
        --gate_->counts_.openNow;
        gate_->changed_.notify_all();
        return 0;
    }
    bool isOpen() const override { return open_; }
    std::uint32_t transmitQueueSize() override { return 0; }
    int configure(const LineSettings& settings) override {
        std::lock_guard lock(gate_->mutex_);
        if (!open_) return EBADF;
        ++gate_->counts_.configured;
        gate_->counts_.lastSettings = settings;
        return 0;
    }
    bool queueCounts(std::uint32_t& input, std::uint32_t& output) override {
        if (!open_ || lost()) return false;
        input = output = 0;
        return true;
    }
    long read(std::uint8_t*, std::size_t) override { return open_ && !lost() ? 0 : -1; }
    int write(const std::uint8_t*, std::size_t n, std::size_t& written) override {
        written = open_ && !lost() ? n : 0;
        return open_ ? (lost() ? EIO : 0) : EBADF;
    }
    bool waitReadable(std::chrono::milliseconds) override { return false; }
    bool lost() const override {
        std::lock_guard lock(gate_->mutex_);
        return open_ && gate_->drops_ != drops_;
    }

  private:
    std::shared_ptr<OpenGate> gate_;
    std::function<bool()> cancelled_;
    bool open_ = false;
    int drops_ = 0;
};

inline std::unique_ptr<SerialBackend> OpenGate::make(std::function<bool()> cancelled) {
    return std::make_unique<Backend>(shared_from_this(), std::move(cancelled));
}

}  // namespace kt6::testing
