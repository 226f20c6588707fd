#pragma once
// A serial layer in front of another that records every frame the console writes, with the
// time it went out on the test's clock.
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "link/frame.h"
#include "link/serial_backend.h"

namespace kt6::testing {

struct SentFrame {
    std::chrono::steady_clock::time_point at;
    Bytes content;  // sequence byte, command code, data; checksum removed

    std::uint8_t code() const { return content.size() > 1 ? content[1] : 0; }
    bool flagged() const { return !content.empty() && (content[0] & 0x80) != 0; }
};

struct FrameLog {
    std::vector<SentFrame> frames;
    std::function<std::chrono::steady_clock::time_point()> now;
};

class RecordingBackend : public SerialBackend {
  public:
    RecordingBackend(std::unique_ptr<SerialBackend> inner, FrameLog& log)
        : inner_(std::move(inner)), log_(log) {}

    int open(const std::string& path) override { return inner_->open(path); }
    int close() override { return inner_->close(); }
    bool isOpen() const override { return inner_->isOpen(); }
    std::uint32_t transmitQueueSize() override { return inner_->transmitQueueSize(); }
    int configure(const LineSettings& settings) override { return inner_->configure(settings); }
    bool queueCounts(std::uint32_t& in, std::uint32_t& out) override {
        return inner_->queueCounts(in, out);
    }
    long read(std::uint8_t* buffer, std::size_t n) override { return inner_->read(buffer, n); }
    int write(const std::uint8_t* data, std::size_t n, std::size_t& written) override {
        const auto at = log_.now();
        const int result = inner_->write(data, n, written);
        for (std::size_t i = 0; i < written; ++i) {
            if (rx_.feed(data[i]) != FrameReceiver::Event::GoodFrame) continue;
            Bytes content = rx_.payload();
            content.pop_back();
            log_.frames.push_back({at, std::move(content)});
        }
        return result;
    }
    bool waitReadable(std::chrono::milliseconds timeout) override {
        return inner_->waitReadable(timeout);
    }
    bool lost() const override { return inner_->lost(); }
    std::intptr_t readinessHandle() const override { return inner_->readinessHandle(); }
    void* readinessEvent() const override { return inner_->readinessEvent(); }

  private:
    std::unique_ptr<SerialBackend> inner_;
    FrameLog& log_;
    FrameReceiver rx_;
};

}  // namespace kt6::testing
