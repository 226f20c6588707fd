#pragma once
// The console below its faces: the port and its session, the link, the 400 ms status poll, the
// link state the operator is told, the port's retry, the radio the antenna follows, the service
// functions' sequences and the transfers of the controller's memory. It owns their timers and
// decides what happens; a face (the window, the headless console) shows what it reports and
// calls its operations. No Qt: the loop's timers come in through the options.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/link_state.h"
#include "core/port_session.h"
#include "core/rig_tracker.h"
#include "core/sequence_runner.h"
#include "core/setup_transfers.h"
#include "core/status_poll.h"
#include "link/comm32.h"
#include "link/link.h"
#include "link/scheduler.h"

namespace kt6 {

// What a face hears of the controller, besides what the poll and the link show it.
class ConsoleObserver {
  public:
    virtual ~ConsoleObserver() = default;
    // The link state, the poll's or the radio's changed: whatever shows them looks again.
    virtual void linkChanged() = 0;
    // The lost device is open again; told before linkChanged. startPort: it was the start's
    // remembered port, waited for since the start, and the return key has gone to it.
    virtual void deviceBack(bool /*startPort*/) {}
    // A band key went out with the return key after it: the band lamp moves onto it.
    virtual void bandKeyPressed(std::uint8_t /*code*/) {}
    // A status reply was read, before the poll's tick shows it.
    virtual void replyRead() {}
    // A line for the technician (the face decides where it goes), without its "link: " topic;
    // a warning when something failed (a port that would not open, a device gone).
    virtual void logLink(const std::string& /*text*/, bool /*warning*/) {}
};

struct ConsoleControllerOptions {
    // The port's backend for device paths; and for network ports, one per open, given whether
    // the open is still wanted.
    std::function<std::unique_ptr<SerialBackend>(std::function<bool()> cancelled)> makeBackend;
    // COMn to the device or address it maps to now.
    Comm32::PortResolver resolvePort;
    // The loop's one-shot timers (sequences' pauses, the second try of a dropped connection),
    // and its repeating ones (link tick, poll, retry).
    Scheduler* scheduler = nullptr;
    MakeRepeatingTimer makeTimer;
    // Tests drive the poll by hand.
    bool runPollTimer = true;
};

// Who chose the port being opened: the operator from the menu, or the start with the port
// remembered from the last run.
enum class PortOrigin { Menu, Start };

// What a port choice's open came to, once it is in.
struct PortOutcome {
    int port = 0;
    bool ok = false;
    // Why it failed (a PortError), 0 when it opened.
    std::int32_t cause = 0;
    // The start's port is not there yet: it is tried every retry interval until it opens.
    bool awaited = false;
};

class ConsoleController : private PortSessionObserver, private PollView {
  public:
    static constexpr std::chrono::milliseconds kLinkTimerInterval{50};
    static constexpr std::chrono::milliseconds kPollInterval{400};
    // A status request answers within this on a controller that is there (19200 bit/s, ~40
    // bytes): after a device's return it is looked for then, not a whole poll later.
    static constexpr std::chrono::milliseconds kFirstReplyLook{150};

    ConsoleController(ConsoleControllerOptions options, ConsoleObserver& observer);
    ~ConsoleController() override;
    ConsoleController(const ConsoleController&) = delete;
    ConsoleController& operator=(const ConsoleController&) = delete;

    // Who paints the poll's records and the link's lamps; nothing is painted before.
    void setViews(PollView* poll, LinkObserver* link);
    // Starts following the radio chosen in rigView; its server comes from makeServer.
    void trackRigs(RigView& rigView, RigTracker::ServerFactory makeServer);
    // Called after each link tick, with the link already ticked: the face's watch on the
    // port's input follows the port.
    void setLinkTickListener(std::function<void()> listener) { linkTicked_ = std::move(listener); }
    // Starts the link and poll timers.
    void start();
    // The window closes: nothing more goes out; what waits ends unsent; timers stop.
    void shutDown();

    Comm32& port() { return port_; }
    Link& link() { return link_; }
    StatusPoll& poll() { return poll_; }
    const StatusPoll& poll() const { return poll_; }
    PortSession& session() { return session_; }
    LinkState& linkState() { return linkState_; }
    const LinkState& linkState() const { return linkState_; }
    RigTracker* rigs() const { return rigs_.get(); }
    // The service functions' sequences and the element editor's walks.
    SequenceRunner& sequences() { return sequences_; }
    const SequenceRunner& sequences() const { return sequences_; }
    // The setup panel's reads and updates, backups and restores.
    SetupTransfers& transfers() { return transfers_; }
    const SetupTransfers& transfers() const { return transfers_; }
    const RepeatingTimer& pollTimer() const { return *tmPoll_; }
    const RepeatingTimer& retryTimer() const { return *tmRetry_; }
    int portNumber() const { return session_.portNumber(); }
    // The open port's device is gone and is tried again.
    bool portLost() const { return session_.retrying(); }
    // The controller's last live word says the elements move (not after silence or a loss).
    bool elementsMovingNow() const { return poll_.ElementsMoving() && !linkState_.stale(); }

    // The timers' work, callable by tests.
    void tickLink();
    void tickPoll();
    void tickRetry();

    // Whether the status poll runs: block transfers and the setup panel stop it.
    void setPollRunning(bool running);
    bool pollRunning() const { return pollRunning_; }

    // Opens COMn for the menu's choice or the start: any retrying ends; the link state follows
    // the open (connecting at once for a network port); shown hears the outcome once it is in,
    // before linkChanged. The start presses the return key first; a chosen port that opened
    // gets it after the open; one that did not is no longer selected. A start port whose
    // device is not there yet is waited for (deviceBack(true) when it comes).
    void choosePort(int n, PortOrigin origin, std::function<void(const PortOutcome&)> shown);
    // The start's port is waited for.
    bool awaitingStartPort() const { return awaitingStartPort_; }

    // A command's key on the held lane: input is dropped while work holds the link, so a key
    // sent then is that work's own.
    void sendKey(std::uint8_t code, bool flag = false);
    // A front-panel key as its button sends it (held lane). A band key is followed by the
    // return key that brings the display back, and the face hears bandKeyPressed.
    void pressPanelKey(std::uint8_t code);
    // A key for a caller outside the window (the open lane: it waits for work holding the
    // link), a band key followed by the return key as on the panel; done once all are out,
    // with the first failure's status.
    void pressKey(std::uint8_t code, Link::Completion done);
    // Command 3 as the frequency field sends it.
    void setFrequency(std::uint32_t khz, Link::Completion done);
    // "Retract": every element in.
    void retract();
    // The motors' progress; done gets the reply.
    void readProgress(Link::Completion done);

  private:
    // PortSessionObserver.
    void portClosed() override { poll_.portChanged(); }
    void deviceLost() override;
    void runRetryTimer(bool running) override;
    void deviceBack() override;
    // PollView: what the poll shows goes to the face's view; the radio step is the core's.
    void showDisplay() override;
    void showRetracted() override;
    void placeBandLamp(int keyCode) override;
    void rigPollStep() override;
    void setLinkButtonsEnabled(bool enabled) override;
    void setStatusLine(const std::string& text) override;
    void showRecord(const StatusRecord& record) override;
    void onlineChanged(bool online) override;

    std::string where() const;

    ConsoleControllerOptions options_;
    ConsoleObserver& observer_;
    PollView* pollView_ = nullptr;
    Comm32 port_;
    Link link_;
    LinkState linkState_;
    StatusPoll poll_;
    PortSession session_;
    SequenceRunner sequences_;
    SetupTransfers transfers_;
    // After the link: destroyed first, a frequency still waiting and all.
    std::unique_ptr<RigTracker> rigs_;
    std::unique_ptr<RepeatingTimer> tmLink_, tmPoll_, tmRetry_, tmLookNow_, tmLookLater_;
    std::function<void()> linkTicked_;
    bool pollRunning_ = true;
    bool awaitingStartPort_ = false;
};

}  // namespace kt6
