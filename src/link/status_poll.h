#pragma once
// The 400 ms status poll: mirrors the last status reply on the display, keeps the online
// state, and posts the next request. The window implements PollView.
#include <cstdint>
#include <string>

#include "link/link.h"
#include "link/status.h"

namespace kt6 {

class PollView {
public:
    virtual ~PollView() = default;
    // Hide the retracted panel, show the display panel.
    virtual void showDisplay() = 0;
    // Hide the display panel and the band lamp, show the retracted panel.
    virtual void showRetracted() = 0;
    // Move the band lamp onto the band key with this code and show it.
    virtual void placeBandLamp(int keyCode) = 0;
    // The radio step of every poll.
    virtual void rigPollStep() = 0;
    // Enable or disable the buttons that need the controller (Salva, Carica, Setup, Retract).
    virtual void setLinkButtonsEnabled(bool enabled) = 0;
    virtual void setStatusLine(const std::string& text) = 0;
    // Paint a decoded status record.
    virtual void showRecord(const StatusRecord& record) = 0;
};

class StatusPoll {
public:
    static constexpr int kMissedPollsOffline = 38;

    StatusPoll(Link& link, PollView& view) : link_(link), view_(view) {}

    // One poll tick (tmPollTimer).
    void tick();
    // A port was (re)opened or failed: the link counts as offline until the next reply.
    void portChanged() { ControllerOnline = false; }

    bool ControllerOnline = false;
    std::uint32_t CurrentFrequency = 0;
    std::uint32_t FirmwareVersion = 0;
    std::uint32_t ActiveScreen = 0;
    std::int32_t HeadingMode = 0;
    bool ElementsMoving = false;
    // Replies too short to hold a status record (they still count as answers).
    int shortReplies = 0;

private:
    enum class ReplyScan { NoGoodFrame, OtherSequence, Matching };
    // Reads what has arrived until the reply to the last request, or until nothing is left.
    ReplyScan takeReply();
    void readRecord(const StatusRecord& record);

    Link& link_;
    PollView& view_;
};

}  // namespace kt6
