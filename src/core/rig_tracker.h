#pragma once
// The window's rig client: the "Cat Radio" choice, the rig lamps, and forwarding each change
// report of the chosen rig to the controller as command 3, when it moved far enough, unless the
// operator paused following. No widgets: the window paints
// through RigView, and the rig server comes from a factory so tests can hand in their own.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/named_colour.h"
#include "link/bytes.h"
#include "link/commands.h"
#include "link/link.h"
#include "radio/rig_server.h"

namespace kt6 {

inline constexpr std::string_view kRigConnectError =
    "Error connecting to the radio - Check Cat Radio > Config Radio";
inline constexpr std::string_view kRigErrorTitle = "Skarnel Utility";
inline constexpr int kRigLampPolls = 5;
inline constexpr std::uint8_t kSetFrequencyCommand = code(CommandCode::SetFrequency);
// The payload carries 16 bits of kHz; anything above would retune to a wrong band.
inline constexpr std::uint32_t kMaxSendableKHz = 0xFFFF;

// The "Cat Radio" items that carry a check mark.
enum class RigMenuItem { Radio1, Radio21, NoRadio1 };

// What the tracker needs of the window: the check boxes ckOmni1/ckOmni2 (rig 1/2), their
// background colour (the rig lamps), the menu check marks and the message box.
class RigView {
  public:
    virtual ~RigView() = default;
    virtual bool isTicked(int rigNumber) const = 0;
    virtual void setTicked(int rigNumber, bool ticked) = 0;
    virtual void setLamp(int rigNumber, NamedColour colour) = 0;
    virtual void setMenuCheck(RigMenuItem item, bool checked) = 0;
    // A box with one OK button, shown from the event loop: never inside the caller, so the
    // poll that called goes on while it is up.
    virtual void showError(const std::string& text, const std::string& title) = 0;
};

// The command-3 payload for a receive frequency in Hz: kHz truncated, low byte first;
// nothing for a frequency that is negative, not a number, or above 65535 kHz.
std::optional<Bytes> frequencyPayload(double hz);

// True when the antenna should follow a move from lastKHz to kHz: at least stepKHz away, or on
// another band.
bool worthRetuning(std::uint32_t lastKHz, std::uint32_t kHz, int stepKHz);

class RigTracker : private RigServerListener {
  public:
    using ServerFactory = std::function<std::unique_ptr<RigServer>()>;

    RigTracker(Link& link, RigView& view, std::function<bool()> controllerOnline,
               ServerFactory makeServer);
    ~RigTracker() override;
    RigTracker(const RigTracker&) = delete;
    RigTracker& operator=(const RigTracker&) = delete;

    // Creates and connects the rig client, once per run; shows the connection error box
    // when connecting fails. Then sends the ticked rig's frequency at once.
    void OpenRigClient();
    // A change report of a rig (also called by OpenRigClient): paints the lamp and, for a
    // ticked online rig with the controller online, sends its frequency when it is worth
    // retuning for (see worthRetuning) or after a return (of the controller, of the rig, from a
    // pause). Deferred while a frequency sent before waits for its answer or while a ticked rig
    // transmits, keeping one pending report per rig: what goes out afterwards is each rig's
    // latest frequency.
    void RigParamsChange(int rigNumber, int params);
    // The rig work of every status poll; the first poll that finds the controller answering
    // again sends the followed rig's frequency, as the start does.
    void RigPollStep();
    // "Pause following": nothing is sent while paused, the rig stays chosen and its lamp lit;
    // resuming sends its current frequency.
    void setFollowingPaused(bool paused);
    bool followingPaused() const { return paused_; }
    void Radio1Click();
    void Radio21Click();
    void NoRadio1Click();
    // Opens the client if needed, then shows the rig server's settings dialog.
    void ConfigRadio1Click();
    void btSetOmniClick() { ConfigRadio1Click(); }

    // The rig client; nullptr before OpenRigClient (or when the factory gave none).
    RigServer* RigClient() const { return server_.get(); }
    bool clientCreated() const { return clientCreated_; }
    // True once connected and following change reports.
    bool following() const { return following_; }
    // Why the connection failed, when it did.
    const std::string& connectError() const { return connectError_; }
    int RigLampCountdown() const { return lampCountdown_; }
    NamedColour lamp(int rigNumber) const;
    // Command-3 frames sent so far (with or without an answer).
    int framesSent() const { return framesSent_; }
    // True while a ticked rig transmits: the antenna must not move, so changes wait.
    bool holdingForTransmit() const;
    // The kHz of the last frequency sent and answered or awaiting its answer; nothing before one
    // or after one the controller did not take.
    std::optional<std::uint32_t> lastSentKHz() const { return lastSentKHz_; }

  private:
    void rigParamsChange(int rigNumber) override;
    void rigStatusChange(int rigNumber) override;
    void rigTransmitChange(int rigNumber) override;
    // Paints the rig's lamp from its state now and, when send is set, sends its frequency.
    void follow(int rigNumber, bool send);
    void defer(int rigNumber);
    void runPending();
    void paint(int rigNumber, NamedColour colour);
    void choose(bool rig1, bool rig2);
    // The connection error box, once per run, for a client that cannot start or a followed
    // rig that cannot be reached when the client first connects; why, on its second line.
    void connectionError(const std::string& reason);
    void firstStatus(int rigNumber, RigStatus status);
    // The ticked rigs' frequencies go out at their next chance whatever the step says.
    void resendTicked();

    Link& link_;
    RigView& view_;
    std::function<bool()> controllerOnline_;
    ServerFactory makeServer_;
    std::unique_ptr<RigServer> server_;
    bool clientCreated_ = false;
    bool following_ = false;
    std::string connectError_;
    bool errorShown_ = false;
    // Set when the client connects, cleared by the followed rig's first real status.
    bool awaitingFirstStatus_ = false;
    int lampCountdown_ = 0;
    std::array<NamedColour, kRigCount> lamps_{NamedColour::clBtnFace, NamedColour::clBtnFace};
    std::array<bool, kRigCount> pending_{};
    // The rig's next frequency goes out whatever the step says: the controller or the rig is
    // back, or following resumed, and the antenna may be anywhere.
    std::array<bool, kRigCount> resend_{};
    // Online at the rig's last status report, so a return is known.
    std::array<bool, kRigCount> rigOnline_{};
    bool controllerWasOnline_ = false;
    bool paused_ = false;
    std::optional<std::uint32_t> lastSentKHz_;
    // A frequency of ours is on the link, unanswered.
    bool sending_ = false;
    int framesSent_ = 0;
    // Deferred work queued on the link outlives nothing: it checks this first.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace kt6
