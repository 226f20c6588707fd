#pragma once
// The command exchange with the controller: frames out, frames in, the one blocking
// SendCommand with sequence matching and retries, the fire-and-forget PostCommand of the
// status poll, and the 50 ms link timer that counts every wait. The exchange engine decides
// every frame, match and try; this class only waits for it, the way the window always has.
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "link/bytes.h"
#include "link/comm32.h"
#include "link/event_pump.h"
#include "link/exchange_engine.h"
#include "link/frame.h"
#include "link/named_colour.h"

namespace kt6 {

inline constexpr std::chrono::milliseconds kWaitStep{10};

// What the link timer and the frame writer ask the window to paint.
class LinkObserver {
  public:
    virtual ~LinkObserver() = default;
    virtual void txLamp(NamedColour) {}
    virtual void rxLamp(NamedColour) {}
    // Every fifth link tick (250 ms): re-enable btAggiorna and step the moving indicator.
    virtual void blinkStep() {}
    // Something the link refused to do.
    virtual void linkWarning(std::string_view) {}
    // An exchange got its reply: the command sent and the controller's status byte (0 is
    // done). Told before SendCommand returns, whatever its caller does with the result.
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

class Link {
    // First, so the counters the protocol names below can refer into it.
    ExchangeEngine engine_;

  public:
    Link(Comm32& port, EventPump& pump);

    void setObserver(LinkObserver* observer) { observer_ = observer; }
    Comm32& port() { return port_; }

    // Sends one frame with this content; false (nothing sent) when it exceeds 255 bytes.
    bool WriteFrame(const Bytes& content);
    // Reads what has arrived; true when a good frame completed, its content in RxPayload.
    bool ReceiveFrame();
    // Sends a command and waits for the reply carrying its sequence byte, retrying; the
    // reply's status byte, or 255. Never nests: called while another exchange (or a held
    // sequence's pause) waits it sends nothing and returns 255 (use whenIdle from code that
    // can run inside a wait). Work that holds the link may send its own exchanges.
    std::uint8_t SendCommand(std::uint8_t code, const Bytes& data, bool flag, int tries,
                             int timeoutMs);
    // The same exchange for command-line tools and tests: waits on the port through waiter,
    // processing no events, with the same guards, frames and retries; each try ends where a
    // link timer ticking from waiter's origin would end it. The reply data is in the outcome
    // (RxPayload holds the last frame of the read that brought it, which may be another).
    Outcome SendCommandBlocking(const Command& command, PortWaiter& waiter);
    // Sends a command without waiting; the status poll picks up its reply.
    void PostCommand(std::uint8_t code, const Bytes& data);
    // The reply to the last posted request, when an exchange received it while waiting for
    // its own (content with the checksum byte, as RxPayload holds it); taken once.
    std::optional<Bytes> takeKeptPollReply();
    // The 50 ms link timer: lamps, the wait count, the 250 ms blink step.
    void LinkTimerTick();

    // Holds the link for as long as it lives: exchanges and posted frames hold it, and so
    // may a service sequence across its pauses. While held, deferred work waits.
    class Hold {
      public:
        explicit Hold(Link& link) : link_(link) { ++link_.depth_; }
        ~Hold() {
            if (--link_.depth_ == 0) link_.scheduleDeferred();
        }
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

      private:
        Link& link_;
    };

    // A wait inside held work: an exchange waiting for its reply, or a service sequence's
    // pause. Events run meanwhile, and no exchange they start may go out until it ends.
    class Wait {
      public:
        explicit Wait(Link& link) : hold_(link), link_(link) { ++link_.waiting_; }
        ~Wait() { --link_.waiting_; }
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;

      private:
        Hold hold_;
        Link& link_;
    };

    // A sequence's deliberate pause: a wait with no frame and no exchange under way, during
    // which the port itself may be closed and opened again (a lost device coming back).
    class Pause {
      public:
        explicit Pause(Link& link) : wait_(link), link_(link) { ++link_.pausing_; }
        ~Pause() { --link_.pausing_; }
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

      private:
        Wait wait_;
        Link& link_;
    };

    // True while an exchange (or a posted frame, or held work) is under way.
    bool busy() const { return depth_ > 0; }
    // True while held work only pauses: no exchange and no frame of it is under way.
    bool onlyPausing() const { return pausing_ > 0 && !exchanging_; }
    // True while an exchange or a held sequence's pause waits.
    bool waiting() const { return waiting_ > 0; }
    // True while a SendCommand is under way (not merely held work pausing between them).
    bool exchanging() const { return exchanging_; }
    // Runs task now when the link is free; else queues it to run from the event loop once the
    // link is free again, so it never runs inside an exchange, nor before that exchange's
    // caller has read its reply, nor inside a timer tick (whose timer could not tick again to
    // time it out).
    void whenIdle(std::function<void()> task);
    std::size_t deferredCount() const { return deferred_.size(); }
    // The window is closing: no exchange starts from now on and deferred work is dropped.
    void shutDown();
    bool isShutDown() const { return shutDown_; }

    // Link state, as the protocol names it. The sequence counters are the engine's.
    std::int32_t& TxSequence = engine_.sequences().tx;
    bool ExchangeEnabled = false;
    // Kept as the protocol counts it, for whoever reads it; the engine's own clock decides.
    std::int32_t WaitedMs = 0;
    std::int32_t& LastPostedSequence = engine_.sequences().lastPosted;
    std::int32_t& LastPostedCommand = engine_.sequences().lastPostedCommand;
    std::int32_t BlinkTicks = 0;
    // Status-poll ticks, while online, without any good frame; reset by the reply to the
    // poll's request or by any reply an exchange receives.
    std::int32_t MissedPolls = 0;

    Bytes& RxPayload() { return engine_.receiver().payload(); }
    bool InFrame() const { return engine_.receiver().inFrame(); }
    bool EscapePending() const { return engine_.receiver().escapePending(); }

  private:
    void scheduleDeferred();
    void runDeferred();
    void warn(std::string_view text);
    void refuseFrame(std::size_t contentSize);
    // False (and says why, when it is a nested call) when no exchange may start now.
    bool mayStartExchange(std::uint8_t code);
    // Writes a frame the engine gave (empty: content it could not frame, refused as
    // WriteFrame refuses it); pumping events once first, as WriteFrame does, unless blocking.
    void writeEngineFrame(const Bytes& frame, std::size_t contentSize, bool pump);
    void writeEncoded(const Bytes& frame, bool pump);
    // Reads what has arrived up to the end of one frame and gives it to the engine: the
    // reply's status when it completed the exchange.
    std::optional<std::uint8_t> receiveReply(std::uint8_t code, const Bytes& data);

    Comm32& port_;
    EventPump& pump_;
    LinkObserver* observer_ = nullptr;
    int depth_ = 0;
    int waiting_ = 0;
    int pausing_ = 0;
    bool exchanging_ = false;
    bool shutDown_ = false;
    bool deferredPosted_ = false;
    std::deque<std::function<void()>> deferred_;
    // The link timer's ticks as time, kLinkTick each: the engine's clock in the nested wait,
    // so a try ends on the very tick that took WaitedMs past its time-out.
    LinkTime tickClock_{0};
};

}  // namespace kt6
