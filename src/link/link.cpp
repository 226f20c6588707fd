#include "link/link.h"

#include <utility>

namespace kt6 {

namespace {
// Sets a flag for as long as it lives.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
};
}  // namespace

SteadyPortWaiter::SteadyPortWaiter(Comm32& port)
    : port_(port), origin_(std::chrono::steady_clock::now()) {}

LinkTime SteadyPortWaiter::now() {
    return std::chrono::duration_cast<LinkTime>(std::chrono::steady_clock::now() - origin_);
}

void SteadyPortWaiter::waitForInput(std::chrono::milliseconds timeout) {
    port_.WaitForInput(timeout);
}

Link::Link(Comm32& port, EventPump& pump) : port_(port), pump_(pump) {}

bool Link::WriteFrame(const Bytes& content) {
    auto frame = encodeFrame(content);
    if (!frame) {
        refuseFrame(content.size());
        return false;
    }
    writeEncoded(*frame, true);
    return true;
}

void Link::writeEngineFrame(const Bytes& frame, std::size_t contentSize, bool pump) {
    if (frame.empty()) {
        refuseFrame(contentSize);
        return;
    }
    writeEncoded(frame, pump);
}

void Link::refuseFrame(std::size_t contentSize) {
    warn("frame refused: " + std::to_string(contentSize) + " content bytes, 255 at most");
}

bool Link::mayStartExchange(std::uint8_t code) {
    if (shutDown_) return false;
    if (waiting()) {
        warn("nested exchange refused: command " + std::to_string(code));
        return false;
    }
    return true;
}

void Link::writeEncoded(const Bytes& frame, bool pump) {
    // Events run below; an exchange they started would interleave its frame with this one.
    Wait wait(*this);
    if (observer_) observer_->txLamp(NamedColour::clLime);
    // Once, before the first byte, so the lamp shows; a frame once started goes out whole.
    if (pump) pump_.processEvents();
    // One write for the whole frame: when the queue lacks room the frame is dropped whole
    // instead of going out with holes in it.
    port_.WriteString(frame);
}

bool Link::ReceiveFrame() {
    FrameReceiver& receiver = engine_.receiver();
    std::uint8_t b = 0;
    while (port_.ReadByte(b)) {
        switch (receiver.feed(b)) {
            case FrameReceiver::Event::GoodFrame:
                return true;
            case FrameReceiver::Event::BadFrame:
                return false;
            case FrameReceiver::Event::None:
                break;
        }
    }
    return false;
}

std::optional<std::uint8_t> Link::receiveReply(std::uint8_t code, const Bytes& data) {
    // Byte by byte, and no further than the end of one frame, as the wait step always read:
    // what follows stays in the port for the poll's tick or the next wait step.
    std::uint8_t b = 0;
    while (port_.ReadByte(b)) {
        const Reception reception = engine_.received({&b, 1}, tickClock_);
        if (reception.goodFrames > 0) MissedPolls = 0;
        if (reception.outcome) {
            // Callers read the reply data from RxPayload, checksum byte last.
            Bytes& rx = RxPayload();
            rx.erase(rx.begin(), rx.begin() + 2);
            if (observer_) observer_->commandAnswered(code, data, reception.outcome->status);
            return reception.outcome->status;
        }
        if (reception.goodFrames + reception.badFrames > 0) break;
    }
    return std::nullopt;
}

std::uint8_t Link::SendCommand(std::uint8_t code, const Bytes& data, bool flag, int tries,
                               int timeoutMs) {
    if (!mayStartExchange(code)) return kNoReply;
    Wait wait(*this);
    FlagScope exchanging(exchanging_);
    // The sequence advances even when nothing goes out.
    Bytes frame = engine_.start(
        Command{code, data, flag, tries, std::chrono::milliseconds(timeoutMs)}, tickClock_);
    // With no port open nothing can go out or come back: waiting out every try would only
    // freeze the window (half a second per key at start-up, before the port is opened).
    if (!port_.IsOpen() || !ExchangeEnabled || tries <= 0) {
        engine_.cancel();
        return kNoReply;
    }
    for (;;) {
        writeEngineFrame(frame, data.size() + 2, true);
        if (!port_.IsOpen()) {
            engine_.cancel();
            return kNoReply;
        }
        // The try counts from the write, after the ticks the write's own pump ran.
        engine_.sent(tickClock_);
        WaitedMs = 0;
        for (;;) {
            pump_.processEvents();
            if (auto status = receiveReply(code, data)) return *status;
            // Ends early when input arrives, so a reply is taken as soon as it is in.
            pump_.waitForInput(kWaitStep);
            // The device went away (and was closed) while we waited: nothing more will come.
            if (!port_.IsOpen() || !ExchangeEnabled) {
                engine_.cancel();
                return kNoReply;
            }
            if (auto retry = engine_.due(tickClock_)) {
                frame = std::move(*retry);
                break;
            }
            if (engine_.expired(tickClock_)) return kNoReply;
        }
    }
}

Outcome Link::SendCommandBlocking(const Command& command, PortWaiter& waiter) {
    if (!mayStartExchange(command.code)) return {};
    Wait wait(*this);
    FlagScope exchanging(exchanging_);
    Bytes frame = engine_.start(command, waiter.now());
    if (!port_.IsOpen() || !ExchangeEnabled || command.tries <= 0) {
        engine_.cancel();
        return {};
    }
    for (;;) {
        writeEngineFrame(frame, command.data.size() + 2, false);
        if (!port_.IsOpen()) {
            engine_.cancel();
            return {};
        }
        engine_.sent(waiter.now());
        for (;;) {
            // A whole read's worth at once: nothing else reads this port meanwhile.
            Bytes arrived;
            std::uint8_t b = 0;
            for (auto n = port_.InputCount(); n > 0 && port_.ReadByte(b); --n) arrived.push_back(b);
            const LinkTime now = waiter.now();
            const Reception reception = engine_.received(arrived, now);
            if (reception.goodFrames > 0) MissedPolls = 0;
            if (reception.outcome) {
                if (observer_) {
                    observer_->commandAnswered(command.code, command.data,
                                               reception.outcome->status);
                }
                return std::move(*reception.outcome);
            }
            if (!port_.IsOpen() || !ExchangeEnabled) {
                engine_.cancel();
                return {};
            }
            if (auto retry = engine_.due(now)) {
                frame = std::move(*retry);
                break;
            }
            if (auto outcome = engine_.expired(now)) return *outcome;
            waiter.waitForInput(*engine_.deadline() - now);
        }
    }
}

void Link::PostCommand(std::uint8_t code, const Bytes& data) {
    if (shutDown_) return;
    Hold hold(*this);
    writeEngineFrame(engine_.post(code, data, tickClock_), data.size() + 2, true);
}

std::optional<Bytes> Link::takeKeptPollReply() {
    return engine_.takePollReply();
}

void Link::LinkTimerTick() {
    // Counted even with nobody painting: it is also what notices a device gone while idle.
    const bool inputWaiting = port_.InputCount() != 0;
    if (observer_) {
        observer_->txLamp(NamedColour::clGreen);
        observer_->rxLamp(inputWaiting ? NamedColour::clAqua : NamedColour::clNavy);
    }
    WaitedMs += static_cast<std::int32_t>(kLinkTick.count());
    tickClock_ += kLinkTick;
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
