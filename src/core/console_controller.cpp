#include "core/console_controller.h"

#include <memory>
#include <utility>

#include "link/commands.h"

namespace kt6 {

ConsoleController::ConsoleController(ConsoleControllerOptions options, ConsoleObserver& observer)
    : options_(std::move(options)),
      observer_(observer),
      port_(options_.makeBackend({}), options_.resolvePort),
      link_(port_),
      poll_(link_, *this),
      // A network port opens on a backend of its own, away from the loop's thread.
      session_(port_, link_, *this, options_.makeBackend, options_.scheduler),
      sequences_(link_, poll_, *options_.scheduler),
      transfers_({link_, *options_.scheduler,
                  [this] { return static_cast<std::uint16_t>(poll_.FirmwareVersion()); },
                  [this](bool running) { setPollRunning(running); }}),
      tmLink_(options_.makeTimer("tmTimer", [this] { tickLink(); })),
      tmPoll_(options_.makeTimer("tmPoll", [this] { tickPoll(); })),
      tmRetry_(options_.makeTimer("tmRetry", [this] { tickRetry(); })),
      // One look each, as soon as the loop turns and once an answer had time to come.
      tmLookNow_(options_.makeTimer("tmFirstLook",
                                    [this] {
                                        tmLookNow_->stop();
                                        tickPoll();
                                    })),
      tmLookLater_(options_.makeTimer("tmSecondLook", [this] {
          tmLookLater_->stop();
          if (!link_.isShutDown() && tmPoll_->active()) tickPoll();
      })) {
    link_.setPollReplyListener([this](const Bytes& reply) {
        poll_.replyArrived(reply);
        // Watchers, the line and the hook hear of it now, not at the next paint.
        observer_.replyRead();
    });
}

ConsoleController::~ConsoleController() {
    shutDown();
    link_.setPollReplyListener(nullptr);
}

void ConsoleController::setViews(PollView* poll, LinkObserver* link) {
    pollView_ = poll;
    link_.setObserver(link);
}

void ConsoleController::trackRigs(RigView& rigView, RigTracker::ServerFactory makeServer) {
    rigs_ = std::make_unique<RigTracker>(
        link_, rigView, [this] { return poll_.ControllerOnline(); }, std::move(makeServer));
}

void ConsoleController::start() {
    tmLink_->start(kLinkTimerInterval);
    if (options_.runPollTimer) tmPoll_->start(kPollInterval);
}

void ConsoleController::shutDown() {
    sequences_.stop();
    sequences_.setView(nullptr);
    // Quietly: the operator is not told of a transfer the closing cut short.
    transfers_.abandon();
    transfers_.setView(nullptr);
    tmLink_->stop();
    tmPoll_->stop();
    tmRetry_->stop();
    tmLookNow_->stop();
    tmLookLater_->stop();
    // Every command still waiting ends now, while what its completion reaches is still there.
    link_.shutDown();
    rigs_.reset();
    link_.setObserver(nullptr);
    pollView_ = nullptr;
}

// --- timers ---

void ConsoleController::tickLink() {
    // An open's outcome first, so the link's tick already watches the port it brought.
    session_.tick();
    link_.LinkTimerTick();
    if (linkTicked_) linkTicked_();
}

void ConsoleController::tickPoll() {
    poll_.tick();
    // While a sequence holds the poll back, no request of ours is out: a tick without a reply
    // says nothing of the controller.
    if (!sequences_.running()) linkState_.tickEnded();
    observer_.linkChanged();
}

void ConsoleController::tickRetry() {
    session_.retryTick();
}

void ConsoleController::setPollRunning(bool running) {
    pollRunning_ = running;
    // A transfer's held poll leaves motion unknown to the station's outputs.
    observer_.linkChanged();
    // A transfer that ends while the window closes must not start the poll again.
    if (!options_.runPollTimer || link_.isShutDown()) return;
    if (running) {
        tmPoll_->start(kPollInterval);
    } else {
        tmPoll_->stop();
    }
}

// --- the port's fate ---

namespace {

// How often a missing device is tried again, for the technician's log.
std::string retryNote() {
    return "retrying every " + std::to_string(PortSession::kRetryInterval.count() / 1000) + " s";
}

}  // namespace

std::string ConsoleController::where() const {
    return "COM" + std::to_string(portNumber()) + " " + port_.DevicePath();
}

void ConsoleController::deviceLost() {
    poll_.deviceLost();
    linkState_.portLost(portNumber(), port_.DevicePath());
    observer_.linkChanged();
    observer_.logLink(where() + ": device lost, " + retryNote(), true);
}

void ConsoleController::runRetryTimer(bool running) {
    if (running) {
        tmRetry_->start(PortSession::kRetryInterval);
    } else {
        tmRetry_->stop();
    }
}

void ConsoleController::deviceBack() {
    if (pollView_) pollView_->setStatusLine("Stato: in connessione...");
    linkState_.portBack();
    // The start's port is open at last: what a choice of it from the menu would do.
    const bool startPort = std::exchange(awaitingStartPort_, false);
    if (startPort) sendKey(keys::kReturn);
    observer_.deviceBack(startPort);
    observer_.linkChanged();
    observer_.logLink(where() + ": device back", false);
    // Under the setup panel or a transfer the poll stays stopped: the port is back quietly, and
    // the poll's restart at their end looks at the link.
    if (!options_.runPollTimer || !pollRunning_) return;
    // Ask for the status now rather than at the next tick, and look for the answer once it has
    // had time to arrive rather than a whole poll period later: the link is back ~650 ms sooner.
    tmPoll_->start(kPollInterval);
    tmLookNow_->start(std::chrono::milliseconds(0));
    tmLookLater_->start(kFirstReplyLook);
}

// --- what the poll shows ---

void ConsoleController::showDisplay() {
    if (pollView_) pollView_->showDisplay();
}

void ConsoleController::showRetracted() {
    if (pollView_) pollView_->showRetracted();
}

void ConsoleController::placeBandLamp(int keyCode) {
    if (pollView_) pollView_->placeBandLamp(keyCode);
}

void ConsoleController::rigPollStep() {
    if (rigs_) rigs_->RigPollStep();
}

void ConsoleController::setLinkButtonsEnabled(bool enabled) {
    if (pollView_) pollView_->setLinkButtonsEnabled(enabled);
}

void ConsoleController::setStatusLine(const std::string& text) {
    if (pollView_) pollView_->setStatusLine(text);
}

void ConsoleController::showRecord(const StatusRecord& record) {
    linkState_.replied(record);
    if (pollView_) pollView_->showRecord(record);
}

void ConsoleController::onlineChanged(bool online) {
    if (pollView_) pollView_->onlineChanged(online);
}

// --- operations ---

void ConsoleController::sendKey(std::uint8_t code, bool flag) {
    link_.enableExchanges();
    link_.send(keyCommand(code, flag), {}, Link::Lane::Held);
}

void ConsoleController::choosePort(int n, PortOrigin origin,
                                   std::function<void(const PortOutcome&)> shown) {
    // A choice ends any retrying of a lost port, whichever port it names.
    session_.stopRetrying();
    awaitingStartPort_ = false;
    // The start presses the return key before any port is open, as the console always has: the
    // key finds no port, but the link's exchanges may go out from then on.
    if (origin == PortOrigin::Start) sendKey(keys::kReturn);
    session_.open(n, [this, n, origin, shown = std::move(shown)](const PortSession::Opened& o) {
        PortOutcome outcome{n, o.ok, o.ok ? 0 : o.cause, false};
        const std::string device = port_.DevicePath();
        if (o.ok) {
            linkState_.portOpened(n, device);
            if (origin == PortOrigin::Menu) sendKey(keys::kReturn);
        } else {
            linkState_.portClosed(n, device, o.cause);
            observer_.logLink("COM" + std::to_string(n) + " " + portErrorText(o.cause, device),
                              true);
            if (origin == PortOrigin::Menu) {
                session_.forgetPortNumber();
            } else if (n >= 1 && n <= kComPortCount && session_.retryUnopened(o.cause)) {
                // The saved port's adapter may be plugged in, or its server started, after
                // the console: it is waited for as a lost device is.
                awaitingStartPort_ = outcome.awaited = true;
                linkState_.portRetried();
                observer_.logLink("COM" + std::to_string(n) + ": " + retryNote(), false);
            }
        }
        if (shown) shown(outcome);
        observer_.linkChanged();
    });
    if (session_.state() == PortSession::State::Opening) {
        linkState_.portConnecting(n, session_.pathOf(n));
        observer_.linkChanged();
    }
}

void ConsoleController::pressPanelKey(std::uint8_t code) {
    sendKey(code);
    if (!keys::isBandKey(code)) return;
    sendKey(keys::kReturn);
    observer_.bandKeyPressed(code);
}

void ConsoleController::pressKey(std::uint8_t code, Link::Completion done) {
    link_.enableExchanges();
    if (!keys::isBandKey(code)) {
        link_.send(keyCommand(code), std::move(done));
        return;
    }
    // Told once both are out, so a caller that leaves then (kt6ctl) does not cut the second.
    auto band = std::make_shared<Outcome>();
    link_.send(keyCommand(code), [band](const Outcome& outcome) { *band = outcome; });
    link_.send(keyCommand(keys::kReturn), [band, done = std::move(done)](const Outcome& outcome) {
        if (done) done(band->status != 0 ? *band : outcome);
    });
    observer_.bandKeyPressed(code);
}

void ConsoleController::setFrequency(std::uint32_t khz, Link::Completion done) {
    link_.enableExchanges();
    link_.send(frequencyCommand(khz), std::move(done));
}

void ConsoleController::retract() {
    link_.enableExchanges();
    link_.send(retractCommand(), {});
}

void ConsoleController::readProgress(Link::Completion done) {
    link_.enableExchanges();
    link_.send(progressCommand(), std::move(done));
}

}  // namespace kt6
