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
    // ControllerOnline changed (a reply after silence, 39 silent ticks, a lost device).
    virtual void onlineChanged(bool /*online*/) {}
};

class StatusPoll {
  public:
    static constexpr int kMissedPollsOffline = 38;

    StatusPoll(Link& link, PollView& view) : link_(link), view_(view) {}

    // One poll tick (tmPollTimer). Inside a waiting exchange its receive and post steps wait
    // for that exchange to return, and then run at once.
    void tick();
    // A port was (re)opened or failed: the link counts as offline until the next reply.
    void portChanged() {
        ControllerOnline = false;
        Replied = false;
    }
    // The device went away: offline at once, as after the last missed poll.
    void deviceLost();
    // Ticks whose receive step waits for a running exchange, and count as silent if it finds
    // nothing.
    int pendingTicks() const { return pendingTicks_; }

    bool ControllerOnline = false;
    // A status record has come on the port as it is open now: until then nothing the fields
    // below hold was said by the controller.
    bool Replied = false;
    std::uint32_t CurrentFrequency = 0;
    std::uint32_t FirmwareVersion = 0;
    std::uint32_t ActiveScreen = 0;
    std::int32_t HeadingMode = 0;
    bool ElementsMoving = false;
    // Replies too short to hold a status record (they still count as answers).
    int shortReplies = 0;

  private:
    enum class ReplyScan { NoGoodFrame, OtherSequence, Matching };
    // The reply to the last request, kept by an exchange or read from what has arrived;
    // its content (checksum byte last) in reply when Matching.
    ReplyScan takeReply(Bytes& reply);
    // Steps 5 and 6 of the tick, for every tick that came since they last ran.
    void receiveAndPost();
    void goOffline();
    void readRecord(const StatusRecord& record);

    Link& link_;
    PollView& view_;
    bool stepPending_ = false;
    int pendingTicks_ = 0;
};

}  // namespace kt6
