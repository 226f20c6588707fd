#pragma once
// The 400 ms status poll: mirrors the last status reply on the display, keeps the online
// state, and posts the next request. The console controller implements PollView and passes
// what is to be shown on to its face.
#include <cstdint>
#include <optional>
#include <string>

#include "link/link.h"
#include "link/status.h"

namespace kt6 {

namespace testing {
struct PollStage;
}

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
    virtual void rigPollStep() {}
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

    // One poll tick (tmPollTimer): paints what the last reply said, takes the reply to the
    // last request (or counts a silent tick), and asks for the next request.
    void tick();
    // A port was (re)opened or failed: the link counts as offline until the next reply.
    void portChanged() {
        controllerOnline_ = false;
        replied_ = false;
        live_.reset();
        forgetReply();
    }
    // A status reply was read (content, sequence byte first, checksum last), ahead of the tick
    // that paints it: guards and the station's outputs act on what the controller said last,
    // as the local interface reports it, not on what the window shows yet.
    void replyArrived(const Bytes& reply);
    // What the controller said last: the newest reply's record, else the painted one's.
    const StatusRecord* unpaintedRecord() const { return live_ ? &*live_ : nullptr; }
    bool repliedNow() const { return replied_ || live_.has_value(); }
    std::uint32_t frequencyNow() const { return live_ ? live_->frequency : currentFrequency_; }
    bool movingNow() const { return live_ ? live_->moving : elementsMoving_; }
    // Status records read so far, on any port: a direction request looks at the first one
    // after its key.
    std::uint64_t recordsRead() const { return recordsRead_; }
    // The device went away: offline at once, as after the last missed poll.
    void deviceLost();

    // What the painted reply said. ControllerOnline: a reply came after the last silence.
    // Replied: a status record has come on the port as it is open now; until then nothing the
    // others hold was said by the controller.
    bool ControllerOnline() const { return controllerOnline_; }
    bool Replied() const { return replied_; }
    std::uint32_t CurrentFrequency() const { return currentFrequency_; }
    std::uint32_t FirmwareVersion() const { return firmwareVersion_; }
    std::uint32_t ActiveScreen() const { return activeScreen_; }
    std::int32_t HeadingMode() const { return headingMode_; }
    bool ElementsMoving() const { return elementsMoving_; }
    // Replies too short to hold a status record (they still count as answers).
    int shortReplies() const { return shortReplies_; }

  private:
    // Tests stage what a reply would have said (tests/support/poll_stage.h).
    friend struct testing::PollStage;

    // A reply read before the port closed or went is not the word of whatever is on it next.
    void forgetReply() { link_.takePollReply(); }
    void goOffline();
    void readRecord(const StatusRecord& record);

    Link& link_;
    PollView& view_;
    bool requestOut_ = false;
    std::optional<StatusRecord> live_;
    std::uint64_t recordsRead_ = 0;
    bool controllerOnline_ = false;
    bool replied_ = false;
    std::uint32_t currentFrequency_ = 0;
    std::uint32_t firmwareVersion_ = 0;
    std::uint32_t activeScreen_ = 0;
    std::int32_t headingMode_ = 0;
    bool elementsMoving_ = false;
    int shortReplies_ = 0;
};

}  // namespace kt6
