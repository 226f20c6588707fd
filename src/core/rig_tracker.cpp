#include "core/rig_tracker.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <utility>

#include "link/status.h"

namespace kt6 {
namespace {

bool validRig(int rigNumber) {
    return rigNumber >= 1 && rigNumber <= kRigCount;
}
std::size_t slot(int rigNumber) {
    return static_cast<std::size_t>(rigNumber - 1);
}

}  // namespace

std::optional<Bytes> frequencyPayload(double hz) {
    if (!std::isfinite(hz) || hz < 0) return std::nullopt;
    // Compared before converting, so a huge value never reaches the integer cast.
    if (hz >= (kMaxSendableKHz + 1.0) * 1000.0) return std::nullopt;
    const auto kHz = static_cast<std::uint32_t>(hz) / 1000u;
    return Bytes{static_cast<std::uint8_t>(kHz & 0xFF),
                 static_cast<std::uint8_t>((kHz >> 8) & 0xFF)};
}

bool worthRetuning(std::uint32_t lastKHz, std::uint32_t kHz, int stepKHz) {
    const std::uint32_t moved = kHz > lastKHz ? kHz - lastKHz : lastKHz - kHz;
    if (moved >= static_cast<std::uint32_t>(std::max(stepKHz, 1))) return true;
    return bandLampKey(kHz) != bandLampKey(lastKHz);
}

RigTracker::RigTracker(Link& link, RigView& view, std::function<bool()> controllerOnline,
                       ServerFactory makeServer)
    : link_(link),
      view_(view),
      controllerOnline_(std::move(controllerOnline)),
      makeServer_(std::move(makeServer)) {}

RigTracker::~RigTracker() {
    if (server_) server_->setListener(nullptr);
}

NamedColour RigTracker::lamp(int rigNumber) const {
    return validRig(rigNumber) ? lamps_[slot(rigNumber)] : NamedColour::clBtnFace;
}

void RigTracker::OpenRigClient() {
    if (clientCreated_) return;
    // Set first: a poll tick while the error box is up must not open a second client or
    // show a second box.
    clientCreated_ = true;
    bool connected = false;
    try {
        if (makeServer_) server_ = makeServer_();
        if (!server_) {
            connectError_ = "no rig server available";
        } else if (server_->connect(&connectError_)) {
            server_->setListener(this);
            following_ = true;
            connected = true;
        }
    } catch (const std::exception& e) {
        connectError_ = e.what();
    } catch (...) {
        connectError_ = "rig server failed while connecting";
    }
    if (!connected) {
        connectionError(connectError_);
        return;
    }
    awaitingFirstStatus_ = true;
    // What opening sends is the start's frequency: only a later return of the controller
    // sends it again.
    controllerWasOnline_ = controllerOnline_ && controllerOnline_();
    if (view_.isTicked(1)) RigParamsChange(1, 0);
    if (view_.isTicked(2)) RigParamsChange(2, 0);
}

void RigTracker::RigParamsChange(int rigNumber, int /*params*/) {
    if (!server_ || !validRig(rigNumber)) return;
    // One frequency of ours on the link at a time: reports meanwhile wait for its answer,
    // so a radio tuned fast sends its latest frequency, not a backlog of old ones. While a
    // radio transmits they wait for receive: a moving element would detune the antenna
    // under power.
    if (sending_ || holdingForTransmit()) {
        follow(rigNumber, false);
        defer(rigNumber);
        return;
    }
    follow(rigNumber, true);
}

void RigTracker::follow(int rigNumber, bool send) {
    if (!view_.isTicked(rigNumber)) {
        paint(rigNumber, NamedColour::clBtnFace);
        return;
    }
    const bool controllerOnline = controllerOnline_ && controllerOnline_();
    RigStatus status = RigStatus::NotConfigured;
    std::optional<double> hz;
    // Everything is read before anything is painted or sent, so a failing server leaves
    // only the olive lamp behind.
    try {
        status = server_->status(rigNumber);
        if (status == RigStatus::Online && controllerOnline) hz = server_->rxFrequency(rigNumber);
    } catch (...) {
        paint(rigNumber, NamedColour::clOlive);
        return;
    }
    firstStatus(rigNumber, status);
    if (status != RigStatus::Online || (controllerOnline && !hz)) {
        paint(rigNumber, NamedColour::clOlive);
        return;
    }
    paint(rigNumber, NamedColour::clLime);
    lampCountdown_ = kRigLampPolls;
    if (!controllerOnline || !send || paused_) return;
    const auto payload = frequencyPayload(*hz);
    if (!payload) return;
    const auto kHz = static_cast<std::uint32_t>(*hz / 1000.0);
    // What this looks at is the rig's latest frequency: a mark left for it is spent.
    pending_[slot(rigNumber)] = false;
    int step = kDefaultRetuneStepKHz;
    try {
        step = server_->retuneStepKHz(rigNumber);
    } catch (...) {
        // The controller's own step, then.
    }
    const bool resend = std::exchange(resend_[slot(rigNumber)], false);
    if (!resend && lastSentKHz_ && !worthRetuning(*lastSentKHz_, kHz, step)) return;
    ++framesSent_;
    sending_ = true;
    lastSentKHz_ = kHz;
    link_.send(frequencyCommand(*payload),
               [this, alive = std::weak_ptr<int>(alive_), kHz](const Outcome& outcome) {
                   if (alive.expired()) return;
                   sending_ = false;
                   // Not taken: the antenna is not there, so the next report must not be measured
                   // against it.
                   if (outcome.status != 0 && lastSentKHz_ == kHz) lastSentKHz_.reset();
                   runPending();
               });
}

void RigTracker::defer(int rigNumber) {
    // The frequency is read when the deferred report runs, so one pending mark per rig
    // sends only the latest one.
    pending_[slot(rigNumber)] = true;
}

void RigTracker::runPending() {
    for (int n = 1; n <= kRigCount; ++n) {
        if (!std::exchange(pending_[slot(n)], false)) continue;
        RigParamsChange(n, 0);
    }
}

bool RigTracker::holdingForTransmit() const {
    if (!server_) return false;
    for (int n = 1; n <= kRigCount; ++n) {
        if (!view_.isTicked(n)) continue;
        try {
            if (server_->transmitting(n)) return true;
        } catch (...) {
            // A server that cannot tell gives no frequency either: follow() finds that out.
        }
    }
    return false;
}

void RigTracker::RigPollStep() {
    const bool t1 = view_.isTicked(1);
    const bool t2 = view_.isTicked(2);
    if (t1) view_.setMenuCheck(RigMenuItem::Radio1, true);
    if (t2) view_.setMenuCheck(RigMenuItem::Radio21, true);
    const bool controllerOnline = controllerOnline_ && controllerOnline_();
    const bool controllerBack = controllerOnline && !controllerWasOnline_;
    controllerWasOnline_ = controllerOnline;
    if ((t1 || t2) && !clientCreated_ && controllerOnline) {
        OpenRigClient();
    } else if (controllerBack && following_) {
        // The controller may have been switched off, retuned by hand or lost its link while the
        // radio moved on: it learns where the radio is now, as at the start.
        resendTicked();
    }
    if (lampCountdown_ > 0 && --lampCountdown_ == 0) {
        for (int n = 1; n <= kRigCount; ++n) {
            if (lamps_[slot(n)] == NamedColour::clLime) paint(n, NamedColour::clGreen);
        }
    }
}

void RigTracker::resendTicked() {
    for (int n = 1; n <= kRigCount; ++n) {
        if (!view_.isTicked(n)) continue;
        resend_[slot(n)] = true;
        RigParamsChange(n, 0);
    }
}

void RigTracker::setFollowingPaused(bool paused) {
    if (std::exchange(paused_, paused) == paused) return;
    // Meanwhile the radio may have moved anywhere, the antenna not with it.
    if (!paused && following_) resendTicked();
}

void RigTracker::choose(bool rig1, bool rig2) {
    view_.setTicked(1, rig1);
    view_.setTicked(2, rig2);
    view_.setMenuCheck(RigMenuItem::Radio1, rig1);
    view_.setMenuCheck(RigMenuItem::Radio21, rig2);
    view_.setMenuCheck(RigMenuItem::NoRadio1, !rig1 && !rig2);
}

void RigTracker::Radio1Click() {
    choose(true, false);
}
void RigTracker::Radio21Click() {
    choose(false, true);
}
void RigTracker::NoRadio1Click() {
    choose(false, false);
}

void RigTracker::ConfigRadio1Click() {
    OpenRigClient();
    if (!server_) return;
    try {
        server_->showDialog();
    } catch (const std::exception& e) {
        view_.showError(e.what(), std::string(kRigErrorTitle));
    }
}

void RigTracker::rigParamsChange(int rigNumber) {
    RigParamsChange(rigNumber, 0);
}

void RigTracker::rigStatusChange(int rigNumber) {
    // Going online is followed by a params change that sends the frequency; only the loss
    // of the rig needs its own report, so the lamp does not stay lime or green.
    if (!server_ || !validRig(rigNumber)) return;
    RigStatus status = RigStatus::NotConfigured;
    try {
        status = server_->status(rigNumber);
    } catch (...) {
        // A server that cannot tell counts as a lost rig.
    }
    if (view_.isTicked(rigNumber)) firstStatus(rigNumber, status);
    const bool online = status == RigStatus::Online;
    // Back after a loss (a rigctld restarted, a logger started again): whatever it reports next
    // goes out, even where it stands where the antenna was last sent.
    if (online && !std::exchange(rigOnline_[slot(rigNumber)], true))
        resend_[slot(rigNumber)] = true;
    if (!online) {
        rigOnline_[slot(rigNumber)] = false;
        RigParamsChange(rigNumber, 0);
    }
}

void RigTracker::rigTransmitChange(int /*rigNumber*/) {
    // Back on receive: each rig's latest change goes out now. An answer still awaited runs
    // them itself when it comes.
    if (!server_ || sending_ || holdingForTransmit()) return;
    runPending();
}

void RigTracker::firstStatus(int rigNumber, RigStatus status) {
    if (!awaitingFirstStatus_ || !view_.isTicked(rigNumber)) return;
    // Disabled is the state before the server's first look at the rig: no verdict yet.
    if (status == RigStatus::Disabled || server_->connecting(rigNumber)) return;
    awaitingFirstStatus_ = false;
    if (status == RigStatus::Online) return;
    std::string reason;
    try {
        reason = server_->reason(rigNumber);
    } catch (...) {
        // The status said enough.
    }
    if (reason.empty()) {
        const std::string_view text = rigStatusText(status);
        reason.assign(text.begin(), text.end());
        for (char& c : reason) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    connectionError(reason);
}

void RigTracker::connectionError(const std::string& reason) {
    if (std::exchange(errorShown_, true)) return;
    std::string text(kRigConnectError);
    if (!reason.empty()) text += "\n" + reason;
    view_.showError(text, std::string(kRigErrorTitle));
}

void RigTracker::paint(int rigNumber, NamedColour colour) {
    lamps_[slot(rigNumber)] = colour;
    view_.setLamp(rigNumber, colour);
}

}  // namespace kt6
