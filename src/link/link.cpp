#include "link/link.h"

#include <utility>

namespace kt6 {

namespace {
// Sequence byte, command code, data.
Bytes commandContent(std::int32_t sequence, std::uint8_t code, const Bytes& data) {
    Bytes content;
    content.reserve(data.size() + 2);
    content.push_back(static_cast<std::uint8_t>(sequence));
    content.push_back(code);
    content.insert(content.end(), data.begin(), data.end());
    return content;
}
}  // namespace

Link::Link(Comm32& port, EventPump& pump) : port_(port), pump_(pump) {}

bool Link::WriteFrame(const Bytes& content) {
    auto frame = encodeFrame(content);
    if (!frame) {
        warn("frame refused: " + std::to_string(content.size()) + " content bytes, 255 at most");
        return false;
    }
    // Events run below; an exchange they started would interleave its frame with this one.
    Wait wait(*this);
    if (observer_) observer_->txLamp(NamedColour::clLime);
    // Once, before the first byte, so the lamp shows; a frame once started goes out whole.
    pump_.processEvents();
    // One write for the whole frame: when the queue lacks room the frame is dropped whole
    // instead of going out with holes in it.
    port_.WriteString(*frame);
    return true;
}

bool Link::ReceiveFrame() {
    std::uint8_t b = 0;
    while (port_.ReadByte(b)) {
        switch (receiver_.feed(b)) {
            case FrameReceiver::Event::GoodFrame: return true;
            case FrameReceiver::Event::BadFrame: return false;
            case FrameReceiver::Event::None: break;
        }
    }
    return false;
}

std::uint8_t Link::SendCommand(std::uint8_t code, const Bytes& data, bool flag, int tries,
                               int timeoutMs) {
    if (shutDown_) return kNoReply;
    if (waiting()) {
        warn("nested exchange refused: command " + std::to_string(code));
        return kNoReply;
    }
    Wait wait(*this);
    struct Exchanging {
        bool& flag;
        explicit Exchanging(bool& f) : flag(f) { flag = true; }
        ~Exchanging() { flag = false; }
    } exchanging(exchanging_);
    TxSequence = (TxSequence + 1) & 0x7F;
    if (flag) TxSequence |= kSequenceFlag;
    // With no port open nothing can go out or come back: waiting out every try would only
    // freeze the window (half a second per key at start-up, before the port is opened).
    if (!port_.IsOpen()) return kNoReply;
    for (; ExchangeEnabled && tries > 0; --tries) {
        WriteFrame(commandContent(TxSequence, code, data));
        if (!port_.IsOpen()) return kNoReply;
        WaitedMs = 0;
        for (;;) {
            pump_.processEvents();
            if (ReceiveFrame()) {
                MissedPolls = 0;
                Bytes& rx = RxPayload();
                if (rx[0] == static_cast<std::uint8_t>(TxSequence)) {
                    const std::uint8_t status = rx[1];
                    rx.erase(rx.begin(), rx.begin() + 2);
                    if (observer_) observer_->commandAnswered(code, data, status);
                    return status;
                }
                // The poll's reply, come in while this exchange waits: dropping it would
                // leave the display stale, and the link offline, for as long as keys go.
                if (rx[0] == static_cast<std::uint8_t>(LastPostedSequence)) keptPollReply_ = rx;
            }
            // Ends early when input arrives, so a reply is taken as soon as it is in.
            pump_.waitForInput(kWaitStep);
            // The device went away (and was closed) while we waited: nothing more will come.
            if (!port_.IsOpen()) return kNoReply;
            if (!ExchangeEnabled || WaitedMs > timeoutMs) break;
        }
    }
    return kNoReply;
}

void Link::PostCommand(std::uint8_t code, const Bytes& data) {
    if (shutDown_) return;
    Hold hold(*this);
    // No wrap after the addition: the value runs 1..128 and 128 goes out as 0x80.
    TxSequence = (TxSequence & 0x7F) + 1;
    LastPostedSequence = TxSequence;
    keptPollReply_.reset();
    LastPostedCommand = code;
    WriteFrame(commandContent(TxSequence, code, data));
}

std::optional<Bytes> Link::takeKeptPollReply() {
    std::optional<Bytes> kept;
    kept.swap(keptPollReply_);
    return kept;
}

void Link::LogLine(std::string_view text) {
    log_.append(text);
    log_.append("\r\n");
    if (observer_) observer_->logLine(text);
}

void Link::LinkTimerTick() {
    // Counted even with nobody painting: it is also what notices a device gone while idle.
    const bool inputWaiting = port_.InputCount() != 0;
    if (observer_) {
        observer_->txLamp(NamedColour::clGreen);
        observer_->rxLamp(inputWaiting ? NamedColour::clAqua : NamedColour::clNavy);
    }
    WaitedMs += static_cast<std::int32_t>(kLinkTick.count());
    if (++BlinkTicks > 4) {
        BlinkTicks = 0;
        if (observer_) observer_->blinkStep();
    }
}

void Link::whenIdle(std::function<void()> task) {
    if (shutDown_) return;
    if (busy()) {
        deferred_.push_back(std::move(task));
    } else {
        task();
    }
}

void Link::shutDown() {
    shutDown_ = true;
    ExchangeEnabled = false;
    deferred_.clear();
}

void Link::scheduleDeferred() {
    if (deferred_.empty() || deferredPosted_ || shutDown_) return;
    deferredPosted_ = true;
    pump_.post([this] {
        deferredPosted_ = false;
        runDeferred();
    });
}

void Link::warn(std::string_view text) {
    if (observer_) observer_->linkWarning(text);
}

void Link::runDeferred() {
    // Posted work may come round inside another exchange's wait: it waits for that one's end.
    while (!deferred_.empty() && !busy() && !shutDown_) {
        auto task = std::move(deferred_.front());
        deferred_.pop_front();
        task();
    }
}

}  // namespace kt6
