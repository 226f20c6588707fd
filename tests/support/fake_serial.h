#pragma once
// An in-memory serial device for tests: bytes fed in are read back by the port, bytes the
// port writes are collected, and any operation can be made to fail.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <thread>

#include "link/bytes.h"
#include "link/serial_backend.h"

namespace kt6::testing {

struct FakeSerialState {
    bool open = false;
    std::string openedPath;
    std::deque<std::uint8_t> input;
    Bytes written;
    std::uint32_t txQueueSize = 4096;
    std::uint32_t pendingOutput = 0;
    int openError = 0;
    // When set, decides per device path: 0 opens, else the error code.
    std::function<int(const std::string&)> openResult;
    int configureError = 0;
    int closeError = 0;
    int writeError = 0;
    // When set, a write takes at most this many bytes.
    std::size_t writeLimit = SIZE_MAX;
    int configureCount = 0;
    int openCount = 0;  // opens that succeeded
    int openAttempts = 0;
    int readCalls = 0;
    LineSettings lastSettings;
    // When set, a wait with nothing to read takes its time, as a real device's would.
    bool realTimeWaits = false;
    // Called with every write, after it is collected: a test's stand-in for the controller.
    std::function<void(const Bytes&)> onWrite;
    // The device went away: it reports so until it is closed; counts and reads fail,
    // writes fail with EIO.
    bool lost = false;
    // Waits asked of the device, and how many of them found it lost.
    int waitCalls = 0;
    int lostWaits = 0;

    // Unplugs the device: the open port is lost, and opening fails until plugIn().
    void unplug() {
        lost = open;
        openError = 6;  // ENXIO
    }
    void plugIn() { openError = 0; }

    void feedReceived(const Bytes& bytes) { input.insert(input.end(), bytes.begin(), bytes.end()); }
};

class FakeSerialBackend : public SerialBackend {
  public:
    explicit FakeSerialBackend(FakeSerialState& state) : s_(state) {}

    int open(const std::string& path) override {
        s_.openedPath = path;
        ++s_.openAttempts;
        if (s_.openError != 0) return s_.openError;
        if (s_.openResult) {
            if (int e = s_.openResult(path); e != 0) return e;
        }
        ++s_.openCount;
        s_.open = true;
        s_.lost = false;
        return 0;
    }
    int close() override {
        const bool wasOpen = s_.open;
        s_.open = false;
        s_.lost = false;
        if (!wasOpen) return 9;  // EBADF
        return s_.closeError;
    }
    bool isOpen() const override { return s_.open; }
    std::uint32_t transmitQueueSize() override { return s_.txQueueSize; }
    int configure(const LineSettings& settings) override {
        if (!s_.open) return 9;
        ++s_.configureCount;
        s_.lastSettings = settings;
        if (s_.configureError != 0) return s_.configureError;
        s_.input.clear();
        return 0;
    }
    bool queueCounts(std::uint32_t& in, std::uint32_t& out) override {
        if (!s_.open || s_.lost) return false;
        in = static_cast<std::uint32_t>(s_.input.size());
        out = s_.pendingOutput;
        return true;
    }
    long read(std::uint8_t* buffer, std::size_t n) override {
        ++s_.readCalls;
        if (!s_.open) return -1;
        std::size_t count = 0;
        while (count < n && !s_.input.empty()) {
            buffer[count++] = s_.input.front();
            s_.input.pop_front();
        }
        return static_cast<long>(count);
    }
    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        if (!s_.open) return 9;
        if (s_.lost) return 5;  // EIO
        if (s_.writeError != 0) return s_.writeError;
        written = std::min(n, s_.writeLimit);
        Bytes chunk(data, data + written);
        s_.written.insert(s_.written.end(), chunk.begin(), chunk.end());
        if (s_.onWrite) s_.onWrite(chunk);
        return 0;
    }
    bool waitReadable(std::chrono::milliseconds timeout) override {
        ++s_.waitCalls;
        if (s_.lost) {
            ++s_.lostWaits;
            if (s_.realTimeWaits) std::this_thread::sleep_for(timeout);
            return false;
        }
        if (s_.input.empty() && s_.realTimeWaits) std::this_thread::sleep_for(timeout);
        return !s_.input.empty();
    }
    bool lost() const override { return s_.open && s_.lost; }

  private:
    FakeSerialState& s_;
};

}  // namespace kt6::testing
