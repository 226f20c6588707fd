#include "link/exchange_engine.h"

#include <utility>

namespace kt6 {

namespace {

// The last link tick at or before t (ticks fall on every multiple of kLinkTick).
LinkTime tickAtOrBefore(LinkTime t) {
    const auto tick = kLinkTick.count();
    auto q = t.count() / tick;
    if (t.count() % tick < 0) --q;
    return LinkTime(q * tick);
}

// The tick whose painting shows bytes that came in at t: a tick at that very moment finds them.
LinkTime tickShowing(LinkTime t) {
    const LinkTime before = tickAtOrBefore(t);
    return before == t ? t : before + kLinkTick;
}

}  // namespace

LinkTime tryDeadline(LinkTime sent, std::chrono::milliseconds timeout) {
    // The wait counted up from nothing after the write, one tick at a time, and the try ended at
    // the first count past the time-out: a tick at the very moment of the write was counted
    // before it, so a 100 ms try ends on the third tick after the write, 100 to 150 ms later.
    // A negative time-out is past at the first look.
    if (timeout.count() < 0) return sent;
    return tickAtOrBefore(sent) + kLinkTick + kLinkTick * (timeout / kLinkTick);
}

Bytes ExchangeEngine::start(const Command& command, LinkTime now) {
    exchange_.reset();
    sequences_.tx = (sequences_.tx + 1) & 0x7F;
    if (command.flag) sequences_.tx |= kSequenceFlag;
    if (command.tries < 1) return {};
    exchange_ = Exchange{command, command.tries - 1};
    exchange_->deadline = tryDeadline(now, exchange_->tryTimeout());
    exchange_->sentAt = now;
    Bytes frame = exchangeFrame();
    exchange_->writable = !frame.empty();
    if (exchange_->writable) lastFrameAt_ = now;
    return frame;
}

void ExchangeEngine::sent(LinkTime now) {
    if (!exchange_) return;
    exchange_->deadline = tryDeadline(now, exchange_->tryTimeout());
    exchange_->sentAt = now;
    if (exchange_->writable) lastFrameAt_ = now;
}

Reception ExchangeEngine::received(std::span<const std::uint8_t> bytes, LinkTime now) {
    Reception reception;
    if (!bytes.empty()) {
        const LinkTime shownAt = tickShowing(now);
        if (!bytesShownAt_ || *bytesShownAt_ != shownAt) {
            bytesShownBefore_ = bytesShownAt_;
            bytesShownAt_ = shownAt;
        }
    }
    for (const std::uint8_t b : bytes) {
        switch (receiver_.feed(b)) {
            case FrameReceiver::Event::GoodFrame:
                ++reception.goodFrames;
                handleGoodFrame(reception, now);
                break;
            case FrameReceiver::Event::BadFrame:
                ++reception.badFrames;
                break;
            case FrameReceiver::Event::None:
                break;
        }
    }
    return reception;
}

void ExchangeEngine::handleGoodFrame(Reception& reception, LinkTime now) {
    // A good frame holds at least its first content byte and the checksum byte.
    const Bytes& rx = receiver_.payload();
    if (exchange_ && rx[0] == static_cast<std::uint8_t>(sequences_.tx)) {
        Outcome outcome;
        outcome.status = rx[1];
        if (rx.size() > 3) outcome.reply.assign(rx.begin() + 2, rx.end() - 1);
        // A late reply to an earlier try carries the same sequence: it counts from the latest.
        outcome.answeredIn = now - exchange_->sentAt;
        exchange_.reset();
        reception.outcome = std::move(outcome);
        return;
    }
    // The poll's reply, come in while an exchange waits or while none does: dropping it would
    // leave the display stale, and the link offline, for as long as keys go.
    if (rx[0] == static_cast<std::uint8_t>(sequences_.lastPosted)) {
        pollReply_ = rx;
        ++pollReplies_;
    }
}

std::optional<Bytes> ExchangeEngine::due(LinkTime now) {
    if (!exchange_ || exchange_->triesLeft == 0 || now < exchange_->deadline) return std::nullopt;
    --exchange_->triesLeft;
    exchange_->deadline = tryDeadline(now, exchange_->tryTimeout());
    exchange_->sentAt = now;
    Bytes frame = exchangeFrame();
    if (exchange_->writable) lastFrameAt_ = now;
    return frame;
}

std::optional<Outcome> ExchangeEngine::expired(LinkTime now) {
    if (!exchange_ || exchange_->triesLeft > 0 || now < exchange_->deadline) return std::nullopt;
    exchange_.reset();
    return Outcome{};
}

std::optional<Outcome> ExchangeEngine::cancel() {
    if (!exchange_) return std::nullopt;
    exchange_.reset();
    return Outcome{};
}

Bytes ExchangeEngine::post(std::uint8_t code, const Bytes& data, LinkTime now) {
    // No wrap after the addition: the value runs 1..128 and 128 goes out as 0x80.
    sequences_.tx = (sequences_.tx & 0x7F) + 1;
    sequences_.lastPosted = sequences_.tx;
    pollReply_.reset();
    sequences_.lastPostedCommand = code;
    Bytes content;
    content.reserve(data.size() + 2);
    content.push_back(static_cast<std::uint8_t>(sequences_.tx));
    content.push_back(code);
    content.insert(content.end(), data.begin(), data.end());
    auto frame = encodeFrame(content);
    if (!frame) return {};
    lastFrameAt_ = now;
    return std::move(*frame);
}

std::optional<Bytes> ExchangeEngine::takePollReply() {
    std::optional<Bytes> reply;
    reply.swap(pollReply_);
    return reply;
}

std::optional<LinkTime> ExchangeEngine::deadline() const {
    if (!exchange_) return std::nullopt;
    return exchange_->deadline;
}

Lamps ExchangeEngine::lamps(LinkTime now) const {
    const LinkTime tick = tickAtOrBefore(now);
    Lamps lamps;
    // Lit from the frame until the next tick; a tick at the frame's own moment came before it.
    lamps.transmit = lastFrameAt_ && *lastFrameAt_ <= now && tickAtOrBefore(*lastFrameAt_) == tick;
    lamps.receive = (bytesShownAt_ && *bytesShownAt_ == tick) ||
                    (bytesShownBefore_ && *bytesShownBefore_ == tick);
    return lamps;
}

Bytes ExchangeEngine::exchangeFrame() const {
    const Command& command = exchange_->command;
    Bytes content;
    content.reserve(command.data.size() + 2);
    content.push_back(static_cast<std::uint8_t>(sequences_.tx));
    content.push_back(command.code);
    content.insert(content.end(), command.data.begin(), command.data.end());
    auto frame = encodeFrame(content);
    return frame ? std::move(*frame) : Bytes{};
}

}  // namespace kt6
