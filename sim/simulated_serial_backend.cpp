#include "sim/simulated_serial_backend.h"

#include <algorithm>
#include <cerrno>
#include <thread>
#include <utility>

namespace kt6::sim {

SimulatedSerialBackend::SimulatedSerialBackend(ModelOptions options, NowFunction now,
                                               SleepFunction sleepUntil)
    : now_(now ? std::move(now) : NowFunction([] { return Clock::now(); })),
      sleepUntil_(sleepUntil ? std::move(sleepUntil) : SleepFunction([](TimePoint t) {
          std::this_thread::sleep_until(t);
      })),
      model_(options, now_()) {}

int SimulatedSerialBackend::open(const std::string& path) {
    if (open_) close();
    path_ = path;
    open_ = true;
    return 0;
}

int SimulatedSerialBackend::close() {
    if (!open_) return EBADF;
    open_ = false;
    // Replies that arrive while nobody holds the port are lost, as on a real line.
    ready_.clear();
    model_.discardOutput();
    return 0;
}

int SimulatedSerialBackend::configure(const LineSettings&) {
    if (!open_) return EBADF;
    ready_.clear();
    model_.discardOutput();
    return 0;
}

bool SimulatedSerialBackend::queueCounts(std::uint32_t& input, std::uint32_t& output) {
    if (!open_) return false;
    const Bytes due = model_.takeDue(now_());
    ready_.insert(ready_.end(), due.begin(), due.end());
    input = static_cast<std::uint32_t>(ready_.size());
    output = 0;
    return true;
}

long SimulatedSerialBackend::read(std::uint8_t* buffer, std::size_t n) {
    if (!open_) return -1;
    const Bytes due = model_.takeDue(now_());
    ready_.insert(ready_.end(), due.begin(), due.end());
    const std::size_t count = std::min(n, ready_.size());
    std::copy_n(ready_.begin(), count, buffer);
    ready_.erase(ready_.begin(), ready_.begin() + static_cast<std::ptrdiff_t>(count));
    return static_cast<long>(count);
}

int SimulatedSerialBackend::write(const std::uint8_t* data, std::size_t n, std::size_t& written) {
    written = 0;
    if (!open_) return EBADF;
    model_.receive(std::span<const std::uint8_t>(data, n), now_());
    written = n;
    return 0;
}

bool SimulatedSerialBackend::waitReadable(std::chrono::milliseconds timeout) {
    if (!open_) return false;
    const TimePoint deadline = now_() + timeout;
    if (!ready_.empty()) return true;
    const auto due = model_.nextDue();
    if (due && *due <= deadline) {
        if (*due > now_()) sleepUntil_(*due);
        return true;
    }
    sleepUntil_(deadline);
    return false;
}

std::unique_ptr<SerialBackend> makeSimulatedSerialBackend(ModelOptions options) {
    return std::make_unique<SimulatedSerialBackend>(options);
}

}  // namespace kt6::sim
