#pragma once
// What the link and the status poll show on the front panel: the Tx and Rx lamps, the
// moving indicator, the display and its screens, the band lamp, the heading lamps and the
// buttons that need the controller. It paints what core/status_view decides.
#include <QString>
#include <array>
#include <functional>
#include <vector>

#include "core/status_poll.h"
#include "link/link.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kt6 {

class DisplayDimmer;
class KeyButton;
class Lamp;
class LinkState;

// The controls the panel view paints, once the window has built them.
struct PanelWidgets {
    QLabel* lStatus = nullptr;
    QLabel* lSituaz = nullptr;
    Lamp* ldTX = nullptr;
    Lamp* ldRX = nullptr;
    QLabel* lMove = nullptr;
    Lamp* ldMove = nullptr;
    QLabel* l180 = nullptr;
    Lamp* ld180 = nullptr;
    QLabel* lBidir = nullptr;
    Lamp* ldBidir = nullptr;
    QFrame* pnDisplay = nullptr;
    QLabel* lFreq = nullptr;
    QLabel* lBanda = nullptr;
    QLabel* Heading = nullptr;
    QLabel* moving = nullptr;
    QFrame* Panel_Elem_Retract = nullptr;
    KeyButton* BLED_ON1 = nullptr;
    KeyButton* BPower_ON = nullptr;
    QPushButton* btAggiorna = nullptr;
    // btRicevi, btInvia, btImposta, btRetract: they need the controller.
    std::array<QPushButton*, 4> linkButtons{};
    QLabel* lProgressFG = nullptr;
    QLabel* lProgressBG = nullptr;
    std::vector<KeyButton*> frontKeys;
};

struct PanelViewContext {
    const LinkState& linkState;
    DisplayDimmer& dimmer;
    std::function<bool()> elementsMoving;
    std::function<void(const QString&)> announce;
    std::function<int()> portNumber;
};

class PanelView : public PollView, public LinkObserver {
  public:
    explicit PanelView(PanelViewContext context) : context_(std::move(context)) {}

    // The controls to paint; nothing is painted before.
    void attach(PanelWidgets widgets) { w_ = std::move(widgets); }
    // A port was (re)opened: nothing on the display is known of the controller on it.
    void forgetDisplay();
    // Moves the band lamp onto this key, unseen until showBandLamp().
    void moveBandLamp(const KeyButton* key);
    // Shows the band lamp above the keys.
    void showBandLamp();
    // The progress bar from a progress reply's content (two words and the checksum byte).
    void showProgress(const Bytes& reply);

    // Poll painting.
    void showDisplay() override;
    void showRetracted() override;
    void placeBandLamp(int keyCode) override;
    void setLinkButtonsEnabled(bool enabled) override;
    void setStatusLine(const std::string& text) override;
    void showRecord(const StatusRecord& record) override;
    void onlineChanged(bool online) override;

    // Link painting.
    void txLamp(bool sending) override;
    void rxLamp(bool inputWaiting) override;
    void blinkStep() override;
    void linkWarning(std::string_view text) override;
    void commandAnswered(std::uint8_t code, const Bytes& data, std::uint8_t status) override;

  private:
    KeyButton* keyWithCode(int code) const;
    // The display lines' accessible names: their text, or that the display is off.
    void nameDisplayLines(bool displayOff);
    // The band keys' accessible names: "20m band, lit" for the one the band lamp is placed on.
    // Not told of the motion blink's hiding, so a focused key is not renamed every 250 ms.
    void nameBandKeys(bool lampPlaced);

    PanelViewContext context_;
    PanelWidgets w_;
    // What the operator was last told: the link went offline after being online, and the
    // elements moved, as the last live reply said.
    bool linkLost_ = false;
    bool moving_ = false;
};

}  // namespace kt6
