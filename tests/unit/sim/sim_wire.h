#pragma once
// Talks to the controller model as the console does, on a fake clock: a command goes in as a
// frame at a given time, and the reply frame is taken once it is due.
#include <chrono>
#include <optional>
#include <vector>

#include "link/frame.h"
#include "sim/controller_model.h"

namespace kt6::sim::testing {

using namespace std::chrono_literals;

inline TimePoint at(Duration since) {
    return TimePoint{} + since;
}

inline Bytes frameFor(std::uint8_t seq, std::uint8_t code, const Bytes& data = {}) {
    Bytes content{seq, code};
    content.insert(content.end(), data.begin(), data.end());
    return encodeFrame(content).value();
}

// Every good frame's content (checksum removed) in these bytes.
inline std::vector<Bytes> framesIn(const Bytes& wire) {
    FrameReceiver rx;
    std::vector<Bytes> out;
    for (auto b : wire) {
        if (rx.feed(b) != FrameReceiver::Event::GoodFrame) continue;
        Bytes content = rx.payload();
        content.pop_back();
        out.push_back(content);
    }
    return out;
}

class Wire {
  public:
    explicit Wire(ModelOptions options = {}) : model(options, TimePoint{}) {}

    // Sends one command at the current fake time and returns the reply content, if one came
    // within a second; the clock stands just after the reply afterwards.
    std::optional<Bytes> send(std::uint8_t code, const Bytes& data = {}) {
        return sendWithSequence(nextSeq(), code, data);
    }
    std::optional<Bytes> sendWithSequence(std::uint8_t seq, std::uint8_t code,
                                          const Bytes& data = {}) {
        model.receive(frameFor(seq, code, data), now);
        const auto due = model.nextDue();
        if (!due || *due > now + 1s) return std::nullopt;
        now = *due + 10ms;
        const auto frames = framesIn(model.takeDue(now));
        if (frames.empty()) return std::nullopt;
        return frames.back();
    }
    std::uint8_t key(std::uint8_t code) { return send(8, {code}).value().at(1); }
    // A key sent with the sequence flag set, as some service steps send theirs.
    std::uint8_t flaggedKey(std::uint8_t code) {
        return sendWithSequence(static_cast<std::uint8_t>(nextSeq() | 0x80), 8, {code})
            .value()
            .at(1);
    }
    void keys(std::initializer_list<std::uint8_t> codes) {
        for (auto c : codes) key(c);
    }
    StatusRecord status() { return decodeStatusRecord(send(1).value()).value(); }
    // Driver, director 1, reflector, director 2 as command 9 reports them.
    Lengths lengths() {
        const Bytes r = send(9).value();
        return {r[2] | r[3] << 8, r[4] | r[5] << 8, r[6] | r[7] << 8, r[8] | r[9] << 8};
    }
    void wait(Duration d) { now += d; }

    ControllerModel model;
    TimePoint now{};

  private:
    std::uint8_t nextSeq() {
        seq_ = static_cast<std::uint8_t>((seq_ + 1) & 0x7F);
        return seq_;
    }
    std::uint8_t seq_ = 12;
};

}  // namespace kt6::sim::testing
