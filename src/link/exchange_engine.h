#pragma once
// The command exchange without I/O: bytes and time in; frames to write, outcomes and lamp
// state out. It owns the sequence counters and the frame receiver, so every driver (the
// command queue on the window's event loop, a tool waiting on the port) puts the same frames
// on the wire at the same moments.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>

#include "link/bytes.h"
#include "link/frame.h"

namespace kt6 {

inline constexpr std::chrono::milliseconds kLinkTick{50};
inline constexpr std::uint8_t kNoReply = 255;
inline constexpr std::uint8_t kSequenceFlag = 0x80;

// Time as the engine is told it: milliseconds from an origin at which the link timer ticked.
// The link timer is taken to tick every kLinkTick from there; tries end on its ticks.
using LinkTime = std::chrono::milliseconds;

struct Command {
    std::uint8_t code = 0;
    Bytes data;
    bool flag = false;  // sets the sequence flag bit
    int tries = 1;
    std::chrono::milliseconds timeout{0};
    // Above zero: every try but the last is given up after this, when it is shorter than
    // timeout, and the next goes out at once; the last try waits the whole timeout.
    std::chrono::milliseconds retryAfter{0};
};

struct Outcome {
    std::uint8_t status = kNoReply;  // 255 also when no matching reply came after every try
    Bytes reply;                     // the reply's data, after its status byte, checksum left out
    // From the frame of the try that was answered going out to its reply; nothing unanswered.
    std::optional<std::chrono::milliseconds> answeredIn{};
};

// What one call to received() found.
struct Reception {
    std::optional<Outcome> outcome;  // the exchange in flight got its reply
    int goodFrames = 0;              // good frames completed, whatever their sequence
    int badFrames = 0;               // frames ended with a bad checksum, or too short
};

// The counters every frame draws its sequence byte from, under the names the protocol gives
// them. Only the low eight bits of each go on the wire.
struct Sequences {
    std::int32_t tx = 12;  // the sequence byte chosen last, by an exchange or a post
    std::int32_t lastPosted = 0;
    std::int32_t lastPostedCommand = 0;
};

// What the link timer's lamps show at a moment.
struct Lamps {
    bool transmit = false;  // a frame went out since the last tick
    bool receive = false;   // bytes came in during the tick period that ended at the last tick
};

class ExchangeEngine {
  public:
    // Starts an exchange, none being in flight: chooses its sequence and gives its first frame,
    // whose try counts from now. Empty when nothing is to be written: a command with no tries
    // (over at once, nothing in flight, its outcome 255) or with content beyond one frame (its
    // tries run out unanswered). The sequence advances either way.
    Bytes start(const Command& command, LinkTime now);
    // The frame handed out last went on the wire at now, later than it was handed out: its try
    // counts from here instead.
    void sent(LinkTime now);
    // Takes received bytes, any number at once, in pieces or with noise around them. A good
    // frame with the exchange's sequence byte completes it; one with the last posted sequence
    // is kept as the poll's reply; any other is dropped. A try stays open for its reply until
    // due() or expired() ends it, however late.
    Reception received(std::span<const std::uint8_t> bytes, LinkTime now);
    // The next try's frame, once the try in flight has run out and tries remain; that try
    // counts from now.
    std::optional<Bytes> due(LinkTime now);
    // The exchange's end (status 255) once its last try has run out.
    std::optional<Outcome> expired(LinkTime now);
    // Ends the exchange in flight with no reply (status 255); nothing when none is in flight.
    std::optional<Outcome> cancel();
    // The fire-and-forget request (the status poll's): the next sequence by the post rule, no
    // retry, its reply kept for takePollReply. Empty when the content exceeds one frame. An
    // exchange in flight meanwhile follows the moved counter, as the one shared counter
    // always made it do.
    Bytes post(std::uint8_t code, const Bytes& data, LinkTime now);
    // The reply to the last posted request, as the receiver assembled it (sequence byte first,
    // checksum byte last), when it came since that request; taken once.
    std::optional<Bytes> takePollReply();
    // The reply takePollReply would give, left in place; and how many have come in all.
    const std::optional<Bytes>& pollReply() const { return pollReply_; }
    std::uint64_t pollReplies() const { return pollReplies_; }

    bool inFlight() const { return exchange_.has_value(); }
    // When the try in flight runs out; nothing when no exchange is in flight.
    std::optional<LinkTime> deadline() const;
    // The lamps as the link timer paints them at its last tick at or before now.
    Lamps lamps(LinkTime now) const;

    Sequences& sequences() { return sequences_; }
    const Sequences& sequences() const { return sequences_; }
    // The frame assembler the engine reads with, for readers that take frames one by one.
    FrameReceiver& receiver() { return receiver_; }
    const FrameReceiver& receiver() const { return receiver_; }

  private:
    struct Exchange {
        Command command;
        int triesLeft = 0;  // after the try in flight
        LinkTime deadline{0};
        LinkTime sentAt{0};    // when the try in flight went out
        bool writable = true;  // its content fits in a frame

        // What the try in flight waits for its reply.
        std::chrono::milliseconds tryTimeout() const {
            const bool early = triesLeft > 0 && command.retryAfter.count() > 0 &&
                               command.retryAfter < command.timeout;
            return early ? command.retryAfter : command.timeout;
        }
    };

    // The frame of the exchange in flight, with the counter as it stands now.
    Bytes exchangeFrame() const;
    void handleGoodFrame(Reception& reception, LinkTime now);

    Sequences sequences_;
    FrameReceiver receiver_;
    std::optional<Exchange> exchange_;
    std::optional<Bytes> pollReply_;
    std::uint64_t pollReplies_ = 0;
    std::optional<LinkTime> lastFrameAt_;
    // The ticks that show the last two arrivals of bytes.
    std::optional<LinkTime> bytesShownAt_;
    std::optional<LinkTime> bytesShownBefore_;
};

// When a try started at `sent` with this time-out runs out: the first link tick that brings
// the time waited (counted in whole ticks from the one after `sent`) past the time-out.
LinkTime tryDeadline(LinkTime sent, std::chrono::milliseconds timeout);

}  // namespace kt6
