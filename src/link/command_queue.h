#pragma once
// The commands waiting for the link, on the exchange engine: one exchange in flight, the
// rest in the order they were asked for, and the status poll's request ahead of them all so
// a stream of keys never starves it. No I/O, no clock, no threads: its owner tells it what
// arrived and what time it is, and writes the frames it hands to the writer.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <span>

#include "link/bytes.h"
#include "link/commands.h"
#include "link/exchange_engine.h"

namespace kt6 {

inline constexpr std::uint8_t kStatusRequestCode = code(CommandCode::Status);

// Where the queue's frames go.
class FrameWriter {
  public:
    virtual ~FrameWriter() = default;
    // Puts one whole frame on the wire; must not call back into the queue.
    virtual void writeFrame(const Bytes& frame) = 0;
};

class CommandQueue {
  public:
    // Told once per command: its reply's status and data, or status 255 after every try.
    using Completion = std::function<void(const Outcome&)>;

    CommandQueue(ExchangeEngine& engine, FrameWriter& writer);

    // Queues the command behind those asked for before it; it goes out at once when nothing
    // waits. Never refused; done is called exactly once.
    void submit(Command command, Completion done, LinkTime now);
    // Asks for the status request: it goes out as soon as no exchange is in flight, ahead of
    // queued commands, and frees the link at once. Asking again while it waits adds nothing.
    void requestPoll(LinkTime now);
    // Bytes came in (any number): a reply completes its command, then what waits goes out. A
    // try that ran out by now is ended after the bytes are read, never before. The good frames
    // the bytes completed, of any sequence.
    int received(std::span<const std::uint8_t> bytes, LinkTime now);
    // Time passed (the link timer ticked): a try that ran out is retried, or its command
    // completes with 255 and what waits goes out.
    void advance(LinkTime now);
    // Ends the exchange in flight unanswered (status 255), then sends what waits.
    void cancelInFlight(LinkTime now);
    // Ends every command waiting, unsent, with status 255; the one in flight stays.
    void dropWaiting();
    // The reply to the last status request that went out, once it has come; taken once.
    std::optional<Bytes> takePollReply() { return engine_.takePollReply(); }

    // When advance() next has work to do; nothing while no exchange is in flight.
    std::optional<LinkTime> nextDeadline() const { return engine_.deadline(); }
    bool inFlight() const { return engine_.inFlight(); }
    // Commands waiting behind the one in flight.
    std::size_t waiting() const { return queue_.size(); }
    bool pollWaiting() const { return pollWaiting_; }

  private:
    struct Entry {
        Command command;
        Completion done;
    };

    // Retries or ends the try in flight when its time has run out.
    void checkTime(LinkTime now);
    // Sends what waits, while nothing is in flight.
    void startNext(LinkTime now);
    void complete(const Outcome& outcome);

    ExchangeEngine& engine_;
    FrameWriter& writer_;
    std::deque<Entry> queue_;
    Completion current_;
    bool pollWaiting_ = false;
    // A completion runs: what it asks for waits its turn behind what was asked before it.
    bool completing_ = false;
};

}  // namespace kt6
