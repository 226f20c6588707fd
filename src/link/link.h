#pragma once
// The command exchange with the controller, on the window's one event loop: commands are
// queued and go out one at a time, each completing through its callback when its reply comes
// or its tries run out; the status poll's request is queued ahead of them. The loop tells the
// link when input arrives (serviceInput) and when the 50 ms link timer ticks; the link never
// waits. Command-line tools and tests have a blocking exchange on the same engine that waits
// on the port itself.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "link/bytes.h"
#include "link/comm32.h"
#include "link/command_queue.h"
#include "link/exchange_engine.h"
#include "link/frame.h"

namespace kt6 {

// What the link timer and the frame writer tell whoever shows the link: facts, not colours.
class LinkObserver {
  public:
    virtual ~LinkObserver() = default;
    // A frame went out (true), or a link tick passed since (false).
    virtual void txLamp(bool /*sending*/) {}
    // Each link tick: whether input waits unread on the port.
    virtual void rxLamp(bool /*inputWaiting*/) {}
    // Every fifth link tick (250 ms): re-enable btAggiorna and step the moving indicator.
    virtual void blinkStep() {}
    // Something the link refused to do.
    virtual void linkWarning(std::string_view) {}
    // An exchange got its reply: the command sent and the controller's status byte (0 is
    // done). Told before the command's own completion runs.
    virtual void commandAnswered(std::uint8_t /*code*/, const Bytes& /*data*/,
                                 std::uint8_t /*status*/) {}
};

// What an exchange that waits on the port itself waits with: a clock and the port's wait.
class PortWaiter {
  public:
    virtual ~PortWaiter() = default;
    // The time now, from an origin at which a link timer would have ticked.
    virtual LinkTime now() = 0;
    // Waits up to the given time, returning early when input arrives.
    virtual void waitForInput(std::chrono::milliseconds timeout) = 0;
};

// The steady clock, from the moment this was made, and the port's own wait.
class SteadyPortWaiter : public PortWaiter {
  public:
    explicit SteadyPortWaiter(Comm32& port);
    LinkTime now() override;
    void waitForInput(std::chrono::milliseconds timeout) override;

  private:
    Comm32& port_;
    std::chrono::steady_clock::time_point origin_;
};

class Link : private FrameWriter {
    // First, so the counters the protocol names below can refer into it.
    ExchangeEngine engine_;

  public:
    using Completion = CommandQueue::Completion;
    // Who sends: work that holds the link (a service sequence, a transfer) sends on the held
    // lane; everyone else's commands wait for the hold to end.
    enum class Lane { Open, Held };

    explicit Link(Comm32& port);

    void setObserver(LinkObserver* observer) { observer_ = observer; }
    Comm32& port() { return port_; }

    // Queues a command; it goes out when the exchanges asked for before it are done (and,
    // from the open lane, when no work holds the link). done is told its outcome exactly
    // once: from serviceInput or a link tick, or at once, inside this call, when it cannot go
    // out (no port, exchanges off, no tries, the link shut down: status 255, and the sequence
    // counter still advances as a sent command's would).
    void send(Command command, Completion done, Lane lane = Lane::Open);
    // Asks for the status poll's request; it goes out ahead of queued commands, at most one
    // waiting. Nothing while work holds the link: no request of ours may go out under it.
    // True when it was asked for.
    bool requestPoll();
    // Reads what has arrived, up to kReadCap bytes, and gives it to the queue: replies
    // complete their commands and what waits goes out. Called when the port has input, and on
    // every tick. The bytes read.
    std::size_t serviceInput();
    // A controller sends under 100 bytes a tick; more than this at once is a line gone wild,
    // and is taken a bounded piece at a time so the window stays its own.
    static constexpr std::size_t kReadCap = 4096;
    // The 50 ms link timer: lamps, the wait count, the 250 ms blink step, the tries' time.
    void LinkTimerTick();
    // The same exchange for command-line tools and tests: waits on the port through waiter,
    // processing no events, with the same frames and retries; each try ends where a link
    // timer ticking from waiter's origin would end it. Only while nothing else is queued.
    Outcome SendCommandBlocking(const Command& command, PortWaiter& waiter);
    // Sends one frame with this content outside any exchange; false (nothing sent) when it
    // exceeds 255 bytes.
    bool WriteFrame(const Bytes& content);

    // Holds the link for as long as it lives: only held-lane commands go out meanwhile; the
    // others wait in order and go out when the last hold ends.
    class Hold {
      public:
        explicit Hold(Link& link) : link_(link) { ++link_.holds_; }
        ~Hold() { link_.release(); }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        Link& link_;
    };

    // True while work holds the link.
    bool held() const { return holds_ > 0; }
    // True while a command is in flight or waits (held back or queued).
    bool busy() const { return queue_.inFlight() || queue_.waiting() > 0 || !heldBack_.empty(); }
    // When the tries in flight next run out: the loop's driver need not look sooner.
    std::optional<LinkTime> nextDeadline() const { return queue_.nextDeadline(); }
    // The window is closing: no command goes out from now on; those waiting end unsent.
    void shutDown();
    bool isShutDown() const { return shutDown_; }

    // The reply to the last status request, once it came (content with the sequence byte
    // first and the checksum byte last); taken once.
    std::optional<Bytes> takePollReply() { return queue_.takePollReply(); }
    // Told of each status reply the moment it is read, before the poll's tick takes it: for
    // those who report the controller's state outside the window (content with the sequence
    // byte first and the checksum byte last).
    void setPollReplyListener(std::function<void(const Bytes&)> listener) {
        pollReplyListener_ = std::move(listener);
    }
    // True when a good frame, of any sequence, came since the last call.
    bool takeFrameSeen() { return std::exchange(frameSeen_, false); }

    // Commands go out only while exchanges are enabled: every sender enables them first, and
    // they stay enabled until the window closes. Off, a command ends unsent and one in flight
    // ends at once.
    void enableExchanges() { exchangesEnabled_ = true; }
    void disableExchanges() { exchangesEnabled_ = false; }
    bool exchangesEnabled() const { return exchangesEnabled_; }
    // The sequence byte of the last frame sent, as the protocol counts it (the engine's).
    std::int32_t txSequence() const { return engine_.sequences().tx; }
    // Where the count goes on from: a tool that knows where another left it.
    void setTxSequence(std::int32_t sequence) { engine_.sequences().tx = sequence; }
    // The sequence byte and command of the last status request posted.
    std::int32_t lastPostedSequence() const { return engine_.sequences().lastPosted; }
    std::int32_t lastPostedCommand() const { return engine_.sequences().lastPostedCommand; }
    // Status-poll ticks, while online, without any good frame; any good frame resets it.
    std::int32_t missedPolls() const { return missedPolls_; }
    // One more silent tick; the count now.
    std::int32_t countMissedPoll() { return ++missedPolls_; }
    void resetMissedPolls() { missedPolls_ = 0; }
    // Link ticks since the last blink step (one every fifth).
    std::int32_t blinkTicks() const { return blinkTicks_; }

  private:
    struct Waiting {
        Command command;
        Completion done;
    };

    void writeFrame(const Bytes& frame) override;
    // What the port holds now, kReadCap bytes at most.
    Bytes readArrived();
    void release();
    bool mayGoOut(const Command& command) const;
    // Wraps a completion so the observer hears of every answer first.
    Completion told(const Command& command, Completion done);
    void warn(std::string_view text);
    // An exchange in flight on a port that closed, or with exchanges turned off, gets nothing
    // more: it ends now rather than after its tries.
    void dropDeadExchange();

    Comm32& port_;
    CommandQueue queue_;
    LinkObserver* observer_ = nullptr;
    int holds_ = 0;
    bool shutDown_ = false;
    bool frameSeen_ = false;
    std::deque<Waiting> heldBack_;
    std::function<void(const Bytes&)> pollReplyListener_;
    std::uint64_t pollRepliesTold_ = 0;
    bool exchangesEnabled_ = false;
    std::int32_t blinkTicks_ = 0;
    std::int32_t missedPolls_ = 0;
    // The link timer's ticks as time, kLinkTick each: the queue's clock, so a try ends on the
    // very tick that took its wait past its time-out.
    LinkTime tickClock_{0};
};

}  // namespace kt6
