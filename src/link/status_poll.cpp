#include "link/status_poll.h"
#include "link/commands.h"

#include <utility>

namespace kt6 {

void StatusPoll::tick() {
    if (CurrentFrequency > 0) view_.showDisplay();
    if (auto key = bandLampKey(CurrentFrequency)) {
        view_.showDisplay();
        view_.placeBandLamp(*key);
    }
    if (CurrentFrequency == 0) view_.showRetracted();

    view_.rigPollStep();

    // While an exchange waits it owns the input and the sequence counter; reading its reply
    // here or posting a request under it would make it miss its answer. Skipping the tick
    // instead would starve the poll under a stream of keys, so it runs once the exchange is
    // over, counting every tick that fell inside. Ticks while held work pauses between its
    // exchanges (a service sequence waiting for the motors) count for nothing: no request
    // of ours was out to be answered, as when such a pause blocked the window outright.
    if (!link_.busy() || link_.exchanging()) ++pendingTicks_;
    if (stepPending_) return;
    stepPending_ = true;
    link_.whenIdle([this] { receiveAndPost(); });
}

void StatusPoll::receiveAndPost() {
    if (!std::exchange(stepPending_, false)) return;
    const int ticks = std::exchange(pendingTicks_, 0);
    Bytes reply;
    const ReplyScan scan = takeReply(reply);
    if (scan == ReplyScan::Matching) {
        link_.MissedPolls = 0;
        view_.setLinkButtonsEnabled(true);
        const bool wasOnline = std::exchange(ControllerOnline, true);
        if (link_.LastPostedCommand == 1) {
            // The checksum byte follows the record and is not part of it.
            Bytes content(reply.begin(), reply.end() - 1);
            if (auto record = decodeStatusRecord(content)) {
                readRecord(*record);
            } else {
                ++shortReplies;
            }
        }
        if (!wasOnline) view_.onlineChanged(true);
    } else if (scan == ReplyScan::NoGoodFrame && ControllerOnline) {
        link_.MissedPolls += ticks;
        if (link_.MissedPolls > kMissedPollsOffline) goOffline();
    }

    link_.PostCommand(code(CommandCode::Status), {});
}

void StatusPoll::deviceLost() {
    if (ControllerOnline) {
        goOffline();
    } else {
        view_.setLinkButtonsEnabled(false);
    }
}

void StatusPoll::goOffline() {
    ControllerOnline = false;
    view_.setStatusLine("Stato: in connessione...");
    view_.setLinkButtonsEnabled(false);
    view_.onlineChanged(false);
}

StatusPoll::ReplyScan StatusPoll::takeReply(Bytes& reply) {
    const auto matches = [this](const Bytes& content) {
        return content[0] == static_cast<std::uint8_t>(link_.LastPostedSequence);
    };
    if (auto kept = link_.takeKeptPollReply(); kept && matches(*kept)) {
        reply = std::move(*kept);
        return ReplyScan::Matching;
    }
    // Frames for other sequences (a reply to an exchange's earlier try that came in late) are
    // passed over: reading one frame a tick would leave the poll a reply behind for good.
    // Bounded, so a device that reports input it then fails to deliver cannot hang the tick.
    constexpr int kMaxFramesPerTick = 32;
    ReplyScan scan = ReplyScan::NoGoodFrame;
    for (int frame = 0; frame < kMaxFramesPerTick; ++frame) {
        if (link_.ReceiveFrame()) {
            if (matches(link_.RxPayload())) {
                reply = link_.RxPayload();
                return ReplyScan::Matching;
            }
            scan = ReplyScan::OtherSequence;
        } else if (link_.port().InputCount() == 0) {
            break;
        }
    }
    return scan;
}

void StatusPoll::readRecord(const StatusRecord& r) {
    FirmwareVersion = r.firmwareMinor + 256u * r.firmwareMajor;
    ActiveScreen = r.screen;
    CurrentFrequency = r.frequency;
    if (auto mode = headingMode(r.heading)) HeadingMode = *mode;
    ElementsMoving = r.moving;
    Replied = true;
    view_.showRecord(r);
}

}  // namespace kt6
