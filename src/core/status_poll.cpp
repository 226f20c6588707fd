#include "core/status_poll.h"
#include "link/commands.h"

#include <utility>

namespace kt6 {

void StatusPoll::tick() {
    if (currentFrequency_ > 0) view_.showDisplay();
    if (auto key = bandLampKey(currentFrequency_)) {
        view_.showDisplay();
        view_.placeBandLamp(*key);
    }
    if (currentFrequency_ == 0) view_.showRetracted();

    view_.rigPollStep();

    // Whatever came since the last look is taken before the reply is looked for.
    link_.serviceInput();
    const bool frameSeen = link_.takeFrameSeen();
    auto reply = link_.takePollReply();
    if (reply && !reply->empty() &&
        (*reply)[0] == static_cast<std::uint8_t>(link_.lastPostedSequence())) {
        link_.resetMissedPolls();
        view_.setLinkButtonsEnabled(true);
        const bool wasOnline = std::exchange(controllerOnline_, true);
        if (link_.lastPostedCommand() == 1) {
            // The checksum byte follows the record and is not part of it.
            Bytes content(reply->begin(), reply->end() - 1);
            if (auto record = decodeStatusRecord(content)) {
                readRecord(*record);
            } else {
                ++shortReplies_;
            }
        }
        if (!wasOnline) view_.onlineChanged(true);
    } else if (!frameSeen && controllerOnline_ && requestOut_ && !link_.held()) {
        // Only a tick that followed a request of ours can find the controller silent: while
        // work holds the link (a sequence waiting for the motors) none goes out.
        if (link_.countMissedPoll() > kMissedPollsOffline) goOffline();
    }

    requestOut_ = link_.requestPoll();
}

void StatusPoll::replyArrived(const Bytes& reply) {
    if (reply.empty() || reply[0] != static_cast<std::uint8_t>(link_.lastPostedSequence()) ||
        link_.lastPostedCommand() != 1) {
        return;
    }
    // The checksum byte follows the record and is not part of it.
    if (auto record = decodeStatusRecord(Bytes(reply.begin(), reply.end() - 1))) {
        live_ = *record;
        ++recordsRead_;
    }
}

void StatusPoll::deviceLost() {
    forgetReply();
    if (controllerOnline_) {
        goOffline();
    } else {
        view_.setLinkButtonsEnabled(false);
    }
}

void StatusPoll::goOffline() {
    controllerOnline_ = false;
    live_.reset();
    view_.setStatusLine("Stato: in connessione...");
    view_.setLinkButtonsEnabled(false);
    view_.onlineChanged(false);
}

void StatusPoll::readRecord(const StatusRecord& r) {
    // Painted now: the fields below say it from here on.
    live_.reset();
    firmwareVersion_ = r.firmwareVersion();
    activeScreen_ = r.screen;
    currentFrequency_ = r.frequency;
    if (auto mode = headingMode(r.heading)) headingMode_ = *mode;
    elementsMoving_ = r.moving;
    replied_ = true;
    view_.showRecord(r);
}

}  // namespace kt6
