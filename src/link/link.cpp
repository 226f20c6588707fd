#include "link/link.h"

#include <utility>

namespace kt6 {

SteadyPortWaiter::SteadyPortWaiter(Comm32& port)
    : port_(port), origin_(std::chrono::steady_clock::now()) {}

LinkTime SteadyPortWaiter::now() {
    return std::chrono::duration_cast<LinkTime>(std::chrono::steady_clock::now() - origin_);
}

void SteadyPortWaiter::waitForInput(std::chrono::milliseconds timeout) {
    port_.WaitForInput(timeout);
}

Link::Link(Comm32& port) : port_(port), queue_(engine_, *this) {}

bool Link::WriteFrame(const Bytes& content) {
    auto frame = encodeFrame(content);
    if (!frame) {
        warn("frame refused: " + std::to_string(content.size()) + " content bytes, 255 at most");
        return false;
    }
    writeFrame(*frame);
    return true;
}

void Link::writeFrame(const Bytes& frame) {
    // The queue hands out an empty frame for content it could not frame; that command's
    // tries run out unanswered.
    if (frame.empty()) {
        warn("frame refused: more than 255 content bytes");
        return;
    }
    if (!port_.IsOpen()) return;
    if (observer_) observer_->txLamp(true);
    // One write for the whole frame: when the queue lacks room the frame is dropped whole
    // instead of going out with holes in it.
    port_.WriteString(frame);
}

bool Link::mayGoOut(const Command& command) const {
    return !shutDown_ && port_.IsOpen() && exchangesEnabled_ && command.tries > 0;
}

Link::Completion Link::told(const Command& command, Completion done) {
    return [this, code = command.code, data = command.data,
            done = std::move(done)](const Outcome& outcome) {
        if (outcome.status != kNoReply && observer_) {
            observer_->commandAnswered(code, data, outcome.status);
        }
        if (done) done(outcome);
    };
}

void Link::send(Command command, Completion done, Lane lane) {
    if (!mayGoOut(command)) {
        // The sequence advances even when nothing goes out, as it always did.
        if (!queue_.inFlight()) {
            engine_.start(command, tickClock_);
            engine_.cancel();
        }
        if (done) done(Outcome{});
        return;
    }
    if (held() && lane == Lane::Open) {
        heldBack_.push_back(Waiting{std::move(command), std::move(done)});
        return;
    }
    Completion completion = told(command, std::move(done));
    queue_.submit(std::move(command), std::move(completion), tickClock_);
}

bool Link::requestPoll() {
    if (shutDown_ || held() || !port_.IsOpen()) return false;
    queue_.requestPoll(tickClock_);
    return true;
}

void Link::release() {
    if (--holds_ > 0) return;
    // What waited for the hold goes out in the order it was asked for.
    auto waiting = std::move(heldBack_);
    heldBack_.clear();
    for (Waiting& w : waiting) send(std::move(w.command), std::move(w.done));
}

void Link::dropDeadExchange() {
    if (queue_.inFlight() && (!port_.IsOpen() || !exchangesEnabled_)) {
        queue_.cancelInFlight(tickClock_);
    }
}

Bytes Link::readArrived() {
    Bytes arrived;
    std::uint8_t b = 0;
    // The port reads what the driver holds in one call and hands it out from there.
    while (arrived.size() < kReadCap && port_.ReadByte(b)) arrived.push_back(b);
    return arrived;
}

std::size_t Link::serviceInput() {
    if (!port_.IsOpen()) {
        dropDeadExchange();
        return 0;
    }
    const Bytes arrived = readArrived();
    if (!arrived.empty()) {
        // Any good frame tells the poll the controller is there; only one that came while an
        // exchange of ours waited clears the count of silent ticks, as the exchange's own wait
        // always did (a stray frame of another sequence neither counts nor resets).
        const bool exchanging = queue_.inFlight();
        if (queue_.received(arrived, tickClock_) > 0) {
            if (exchanging) missedPolls_ = 0;
            frameSeen_ = true;
        }
        if (engine_.pollReplies() != pollRepliesTold_) {
            pollRepliesTold_ = engine_.pollReplies();
            if (pollReplyListener_ && engine_.pollReply()) pollReplyListener_(*engine_.pollReply());
        }
    }
    dropDeadExchange();
    return arrived.size();
}

Outcome Link::SendCommandBlocking(const Command& command, PortWaiter& waiter) {
    if (queue_.inFlight()) {
        warn("blocking exchange refused: command " + std::to_string(command.code) +
             " while another is under way");
        return {};
    }
    Bytes frame = engine_.start(command, waiter.now());
    if (!mayGoOut(command)) {
        engine_.cancel();
        return {};
    }
    // The observer hears of the answer as it does of a queued command's.
    Outcome ended;
    const Completion end = told(command, [&ended](const Outcome& o) { ended = o; });
    for (;;) {
        writeFrame(frame);
        if (!port_.IsOpen()) {
            engine_.cancel();
            return {};
        }
        engine_.sent(waiter.now());
        for (;;) {
            const Bytes arrived = readArrived();
            const LinkTime now = waiter.now();
            const Reception reception = engine_.received(arrived, now);
            if (reception.goodFrames > 0) {
                missedPolls_ = 0;
                frameSeen_ = true;
            }
            if (reception.outcome) {
                end(*reception.outcome);
                return ended;
            }
            if (!port_.IsOpen() || !exchangesEnabled_) {
                engine_.cancel();
                return {};
            }
            if (auto retry = engine_.due(now)) {
                frame = std::move(*retry);
                break;
            }
            if (auto outcome = engine_.expired(now)) {
                end(*outcome);
                return ended;
            }
            waiter.waitForInput(*engine_.deadline() - now);
        }
    }
}

void Link::LinkTimerTick() {
    // Counted even with nobody painting: it is also what notices a device gone while idle.
    const bool inputWaiting = port_.InputCount() != 0;
    if (observer_) {
        observer_->txLamp(false);
        observer_->rxLamp(inputWaiting);
    }
    tickClock_ += kLinkTick;
    // What came since the last look is read before the time is: a reply that is in counts
    // even when its try ran out on this very tick.
    serviceInput();
    queue_.advance(tickClock_);
    dropDeadExchange();
    if (++blinkTicks_ > 4) {
        blinkTicks_ = 0;
        if (observer_) observer_->blinkStep();
    }
}

void Link::shutDown() {
    shutDown_ = true;
    exchangesEnabled_ = false;
    auto waiting = std::move(heldBack_);
    heldBack_.clear();
    queue_.dropWaiting();
    queue_.cancelInFlight(tickClock_);
    for (Waiting& w : waiting) {
        if (w.done) w.done(Outcome{});
    }
}

void Link::warn(std::string_view text) {
    if (observer_) observer_->linkWarning(text);
}

}  // namespace kt6
