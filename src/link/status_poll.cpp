#include "link/status_poll.h"

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
    // here or posting a request under it would make it miss its answer.
    if (link_.busy()) return;

    const ReplyScan scan = takeReply();
    if (scan == ReplyScan::Matching) {
        link_.MissedPolls = 0;
        view_.setLinkButtonsEnabled(true);
        ControllerOnline = true;
        if (link_.LastPostedCommand == 1) {
            const Bytes& rx = link_.RxPayload();
            // The checksum byte follows the record and is not part of it.
            Bytes content(rx.begin(), rx.end() - 1);
            if (auto record = decodeStatusRecord(content)) {
                readRecord(*record);
            } else {
                ++shortReplies;
            }
        }
    } else if (scan == ReplyScan::NoGoodFrame && ControllerOnline) {
        if (++link_.MissedPolls > kMissedPollsOffline) {
            ControllerOnline = false;
            view_.setStatusLine("Stato: in connessione...");
            view_.setLinkButtonsEnabled(false);
        }
    }

    link_.PostCommand(1, {});
}

StatusPoll::ReplyScan StatusPoll::takeReply() {
    // Frames for other sequences (a reply to an exchange's earlier try that came in late) are
    // passed over: reading one frame a tick would leave the poll a reply behind for good.
    // Bounded, so a device that reports input it then fails to deliver cannot hang the tick.
    constexpr int kMaxFramesPerTick = 32;
    ReplyScan scan = ReplyScan::NoGoodFrame;
    for (int frame = 0; frame < kMaxFramesPerTick; ++frame) {
        if (link_.ReceiveFrame()) {
            if (link_.RxPayload()[0] == static_cast<std::uint8_t>(link_.LastPostedSequence)) {
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
    if (auto heading = headingPaint(r.heading)) HeadingMode = heading->headingMode;
    ElementsMoving = r.moving;
    view_.showRecord(r);
}

}  // namespace kt6
