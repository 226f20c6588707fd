#pragma once
// A controller on the fake clock for the engine and queue tests: it reads the frames it is
// given to write and answers each as the test's script says, the answer's bytes arriving
// later, whole or in pieces, with noise, corrupted, or not at all.
#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "link/command_queue.h"
#include "link/frame.h"
#include "support/fake_clock.h"

namespace kt6::testing {

using ms = std::chrono::milliseconds;

// The whole frame of a reply: sequence byte, status, data.
inline Bytes replyFrame(std::uint8_t sequence, std::uint8_t status, const Bytes& data = {}) {
    Bytes content{sequence, status};
    content.insert(content.end(), data.begin(), data.end());
    return encodeFrame(content).value();
}

inline Bytes joined(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class TimedController : public FrameWriter {
  public:
    // Bytes that arrive `after` the frame they answer was written.
    struct Piece {
        ms after;
        Bytes bytes;
    };
    // The answer to a frame (its content, checksum removed): nothing for silence.
    using Script = std::function<std::vector<Piece>(const Bytes& content)>;
    // Hands arrived bytes to the console side.
    using Deliver = std::function<void(const Bytes& bytes)>;

    struct Written {
        ms at;
        Bytes content;
    };

    TimedController(FakeClock& clock, Deliver deliver)
        : clock_(clock), deliver_(std::move(deliver)) {}

    void writeFrame(const Bytes& frame) override {
        for (auto b : frame) {
            if (rx_.feed(b) != FrameReceiver::Event::GoodFrame) continue;
            Bytes content = rx_.payload();
            content.pop_back();
            frames.push_back({clock_.now(), content});
            if (!script) continue;
            for (auto& piece : script(content)) {
                clock_.at(clock_.now() + piece.after,
                          [this, bytes = std::move(piece.bytes)] { deliver_(bytes); });
            }
        }
    }

    // The moments the frames with this command code were written.
    std::vector<ms> timesOf(std::uint8_t code) const {
        std::vector<ms> out;
        for (const auto& f : frames) {
            if (f.content.size() >= 2 && f.content[1] == code) out.push_back(f.at);
        }
        return out;
    }
    // The command codes in the order their frames were written.
    std::vector<int> codes() const {
        std::vector<int> out;
        for (const auto& f : frames) out.push_back(f.content.size() >= 2 ? f.content[1] : -1);
        return out;
    }

    Script script;
    std::vector<Written> frames;

  private:
    FakeClock& clock_;
    Deliver deliver_;
    FrameReceiver rx_;
};

}  // namespace kt6::testing
