#include "sim/controller_model.h"

#include <algorithm>
#include <string>

#include "sim/trace.h"

namespace kt6::sim {

ControllerModel::ControllerModel(ModelOptions options, TimePoint start)
    : options_(options),
      controller_(options.controller),
      faults_(options.faults, options.seed),
      lineFreeAt_(start),
      rxLineFreeAt_(start),
      start_(start) {}

void ControllerModel::receive(std::span<const std::uint8_t> bytes, TimePoint at) {
    for (std::uint8_t b : bytes) {
        // A pseudo-terminal hands over a whole write at once; a cable does not.
        TimePoint arrived = at;
        if (options_.pace) {
            arrived = std::max(at, rxLineFreeAt_) + kByteTime;
            rxLineFreeAt_ = arrived;
        }
        if (b == kFrameStart) wireIn_.clear();
        if (trace_) wireIn_.push_back(b);
        const auto event = receiver_.feed(b);
        if (event == FrameReceiver::Event::GoodFrame) {
            frameArrived(wireIn_, arrived);
        } else if (event == FrameReceiver::Event::BadFrame) {
            traceLine(arrived, "IN", wireIn_, "bad frame, ignored");
        }
        if (event != FrameReceiver::Event::None) wireIn_.clear();
    }
}

void ControllerModel::frameArrived(const Bytes& wire, TimePoint at) {
    Bytes content = receiver_.payload();
    content.pop_back();
    if (faults_.dropFrame()) {
        traceLine(at, "IN", wire, describeCommand(content) + "  [dropped]");
        return;
    }
    // A retry comes within the sender's tries (seconds at most); the same frame much later is
    // a new command from a console that started again with the same sequence.
    const bool repeat =
        !lastCommand_.empty() && content == lastCommand_ && at - lastCommandAt_ <= kRepeatWindow;
    traceLine(at, "IN", wire, describeCommand(content) + (repeat ? "  [repeat]" : ""));
    if (!repeat) {
        lastReply_ = controller_.execute(content, at);
        lastCommand_ = content;
        lastCommandAt_ = at;
        ++executed_;
    }
    const bool blockWrite =
        content.size() >= 2 && content[1] >= 4 && content[1] <= 7 && content[1] != 5;
    const TimePoint due =
        at + kTurnaround + (blockWrite && !repeat ? kBlockWriteTime : Duration::zero());
    const auto reply = faultyBlockReply(content, lastReply_);
    if (!reply) {
        traceLine(due, "OUT", {}, describeReply(content, lastReply_) + "  [block kept silent]");
        return;
    }
    send(*reply, content, due, repeat ? "  [answered again]" : "");
}

std::optional<Bytes> ControllerModel::faultyBlockReply(const Bytes& command, Bytes reply) const {
    const BlockFaults& f = options_.blockFaults;
    const bool read =
        command.size() == 4 && command[1] == static_cast<std::uint8_t>(Command::ReadBlock);
    if (!read || !f.any()) return reply;
    const int block = command[2];
    if (f.silent.count(block)) return std::nullopt;
    if (f.refused.count(block) && reply.size() >= 2) {
        reply.resize(2);
        reply[1] = static_cast<std::uint8_t>(Status::OutOfRange);
    } else if (f.shortened.count(block) && reply.size() > 2) {
        reply.pop_back();
    }
    return reply;
}

void ControllerModel::send(const Bytes& reply, const Bytes& command, TimePoint due,
                           std::string_view note) {
    const std::string text = describeReply(command, reply) + std::string(note);
    if (faults_.loseReply()) {
        traceLine(due, "OUT", {}, text + "  [reply lost]");
        return;
    }
    Bytes wire = faults_.maybeGarbage();
    const std::size_t noise = wire.size();
    const Bytes frame = encodeFrame(reply).value_or(Bytes{});
    wire.insert(wire.end(), frame.begin(), frame.end());
    Bytes framePart(wire.begin() + static_cast<std::ptrdiff_t>(noise), wire.end());
    const bool corrupted = faults_.maybeCorrupt(framePart);
    std::copy(framePart.begin(), framePart.end(),
              wire.begin() + static_cast<std::ptrdiff_t>(noise));
    std::string marks;
    if (noise > 0) marks += "  [" + std::to_string(noise) + " noise bytes first]";
    if (corrupted) marks += "  [corrupted]";
    traceLine(due, "OUT", wire, text + marks);

    // Paced, a byte can be read once its stop bit is in: a byte time after its start bit left.
    TimePoint at = due;
    if (options_.pace) at = std::max(due, lineFreeAt_);
    for (std::uint8_t b : wire) {
        if (options_.pace) at += kByteTime;
        out_.push_back({at, b});
    }
    lineFreeAt_ = at;
}

std::optional<TimePoint> ControllerModel::nextDue() const {
    if (out_.empty()) return std::nullopt;
    return out_.front().due;
}

Bytes ControllerModel::takeDue(TimePoint now) {
    Bytes bytes;
    while (!out_.empty() && out_.front().due <= now) {
        bytes.push_back(out_.front().byte);
        out_.pop_front();
    }
    return bytes;
}

std::size_t ControllerModel::dueCount(TimePoint now) const {
    std::size_t n = 0;
    for (const auto& p : out_) {
        if (p.due > now) break;
        ++n;
    }
    return n;
}

void ControllerModel::traceLine(TimePoint at, const char* direction, const Bytes& wire,
                                const std::string& text) {
    if (!trace_) return;
    const double seconds = std::chrono::duration<double>(at - start_).count();
    trace_(sim::traceLine(seconds, direction, wire, text));
}

}  // namespace kt6::sim
