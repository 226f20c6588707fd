#include "link/command_queue.h"

#include <utility>

namespace kt6 {

CommandQueue::CommandQueue(ExchangeEngine& engine, FrameWriter& writer)
    : engine_(engine), writer_(writer) {}

void CommandQueue::submit(Command command, Completion done, LinkTime now) {
    queue_.push_back(Entry{std::move(command), std::move(done)});
    startNext(now);
}

void CommandQueue::requestPoll(LinkTime now) {
    pollWaiting_ = true;
    startNext(now);
}

int CommandQueue::received(std::span<const std::uint8_t> bytes, LinkTime now) {
    // Read before the time is looked at, as the wait step always did: a reply that is in
    // counts even when its try ran out a moment ago.
    Reception reception = engine_.received(bytes, now);
    if (reception.outcome) complete(*reception.outcome);
    checkTime(now);
    startNext(now);
    return reception.goodFrames;
}

void CommandQueue::advance(LinkTime now) {
    checkTime(now);
    startNext(now);
}

void CommandQueue::cancelInFlight(LinkTime now) {
    if (auto outcome = engine_.cancel()) complete(*outcome);
    startNext(now);
}

void CommandQueue::dropWaiting() {
    pollWaiting_ = false;
    auto waiting = std::move(queue_);
    queue_.clear();
    for (Entry& entry : waiting) {
        if (entry.done) entry.done(Outcome{});
    }
}

void CommandQueue::checkTime(LinkTime now) {
    if (!engine_.inFlight()) return;
    if (auto retry = engine_.due(now)) {
        if (!retry->empty()) writer_.writeFrame(*retry);
    } else if (auto outcome = engine_.expired(now)) {
        complete(*outcome);
    }
}

void CommandQueue::startNext(LinkTime now) {
    while (!completing_ && !engine_.inFlight()) {
        if (pollWaiting_) {
            // Fire and forget: its reply is kept for the poll whenever it comes, so the link
            // is free for the next command at once.
            pollWaiting_ = false;
            const Bytes frame = engine_.post(kStatusRequestCode, {}, now);
            if (!frame.empty()) writer_.writeFrame(frame);
            continue;
        }
        if (queue_.empty()) return;
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        current_ = std::move(entry.done);
        const Bytes frame = engine_.start(entry.command, now);
        if (!frame.empty()) writer_.writeFrame(frame);
        // A command without tries is over at once, unsent.
        if (!engine_.inFlight()) complete(Outcome{});
    }
}

void CommandQueue::complete(const Outcome& outcome) {
    Completion done = std::move(current_);
    current_ = nullptr;
    completing_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{completing_};
    if (done) done(outcome);
}

}  // namespace kt6
