#pragma once
// The console's one window: the front-panel picture with its keys and lamps, the mirrored
// display, the menus, the settings file, and the link to the controller.
#include <QMainWindow>
#include <QTimer>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>

#include "console/panel/display_dimmer.h"
#include "console/status/link_status.h"
#include "core/port_session.h"
#include "core/scheduler.h"
#include "link/comm32.h"
#include "link/link.h"
#include "link/serial_network.h"
#include "link/status_poll.h"
#include "radio/rig_tracker.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace kt6 {

class ClickableLabel;
class ConsoleStatusBar;
class Dialogs;
class ElementEditor;
class KeyButton;
class Lamp;
class ProfileFile;
class QtEventPump;
class ServiceScreens;
class SetupPanel;

struct ConsoleOptions {
    std::filesystem::path settingsPath;
    // Where "manual.pdf" and "manuale.pdf" are; the executable's directory by default.
    std::filesystem::path documentsDir;
    // Looked in when documentsDir lacks a manual: the installed documentation folder.
    std::filesystem::path installedDocumentsDir;
    // The serial device layer; when empty, the platform's own for device paths and a network
    // transport for tcp:// and rfc2217:// mappings.
    std::function<std::unique_ptr<SerialBackend>()> makeSerialBackend;
    std::shared_ptr<Dialogs> dialogs;
    // The rig-control server; Hamlib's when empty.
    std::function<std::unique_ptr<RigServer>()> makeRigServer;
    // Where the port dialog looks for serial devices.
    std::filesystem::path serialByIdDir = "/dev/serial/by-id";
    std::filesystem::path devDir = "/dev";
    // Tests drive the status poll by hand; the link timer always runs, it bounds every wait.
    bool runPollTimer = true;
    // The timers the service sequences and block transfers wait on; the window's own when
    // empty.
    std::shared_ptr<Scheduler> scheduler;
    // Show the service strip from the start (--service).
    bool serviceStrip = false;
};

class FmMain : public QMainWindow,
               private LinkObserver,
               private PollView,
               private RigView,
               private PortSessionObserver {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kLinkTimerInterval{50};
    static constexpr std::chrono::milliseconds kPollInterval{400};
    static constexpr int kPortCount = 13;

    explicit FmMain(ConsoleOptions options, QWidget* parent = nullptr);
    ~FmMain() override;

    Link& link() { return link_; }
    StatusPoll& poll() { return poll_; }
    Comm32& port() { return port_; }
    RigTracker& rigs() { return *rigs_; }
    int PortNumber() const { return session_.portNumber(); }
    // True while the open port's device is gone and the window tries to reopen it.
    bool portLost() const { return session_.retrying(); }
    const QTimer& retryTimer() const { return tmRetry_; }
    const QTimer& pollTimer() const { return tmPoll_; }
    // A service sequence or editor walk is under way.
    bool sequenceRunning() const;
    const ConsoleOptions& options() const { return options_; }
    // Tells the operator something in the status bar's events field ("Backup saved to ...").
    void announce(const QString& text);
    // Empties the status bar's event field.
    void clearEvent();
    ConsoleStatusBar* consoleStatusBar() const { return statusBar_; }
    SetupPanel& setupPanel() { return *setupPanel_; }
    // Whether the status poll is meant to run (block transfers stop it).
    bool pollRunning() const { return pollRunning_; }
    // Shows the service strip as a row below the front panel, the window growing by its height.
    void showServiceStrip(bool shown);

  public slots:
    // The start-up sequence; runs once, on the first activation.
    void FormActivate();
    void SelectPort(int n);
    void com1Click() { SelectPort(1); }
    void com2Click() { SelectPort(2); }
    void com3Click() { SelectPort(3); }
    void com4Click() { SelectPort(4); }
    void COM5Click() { SelectPort(5); }
    void COM6Click() { SelectPort(6); }
    void COM7Click() { SelectPort(7); }
    void COM8Click() { SelectPort(8); }
    void COM9Click() { SelectPort(9); }
    void COM10Click() { SelectPort(10); }
    void COM11Click() { SelectPort(11); }
    void COM12Click() { SelectPort(12); }
    void COM13Click() { SelectPort(13); }

    // "Assign ports...": which device each COM opens, with a test of each.
    void AssignPorts1Click();

    void UncheckPortItems();
    void HideFrontKeys();
    void ShowFrontKeys();
    void EnableLengthSteppers();

    // The click of any front-panel key: its tag is the key code.
    void SpeedButton1Click();
    // A key press: command 8 with the code; the controller's status byte or 255.
    std::uint8_t SendKey(std::uint8_t code, bool flag = false);
    void lFreqClick();
    void btRetractClick();
    void btImpostaClick();
    void ckSK2200Click();
    void lProgressFGClick();

    void tmTimerTimer();
    void tmPollTimer();
    // Every 2 s while the open port's device is gone: one attempt to open it again.
    void tmRetryTimer();

    void Radio1Click() { rigs_->Radio1Click(); }
    void Radio21Click() { rigs_->Radio21Click(); }
    void NoRadio1Click() { rigs_->NoRadio1Click(); }
    void ConfigRadio1Click() { rigs_->ConfigRadio1Click(); }
    void btSetOmniClick() { rigs_->btSetOmniClick(); }

    void ita2Click();
    void eng1Click();
    void Website2Click();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Link painting.
    void txLamp(NamedColour c) override;
    void rxLamp(NamedColour c) override;
    void blinkStep() override;
    void logLine(std::string_view text) override;
    void linkWarning(std::string_view text) override;
    void commandAnswered(std::uint8_t code, const Bytes& data, std::uint8_t status) override;
    // Poll painting.
    void showDisplay() override;
    void showRetracted() override;
    void placeBandLamp(int keyCode) override;
    void rigPollStep() override;
    void setLinkButtonsEnabled(bool enabled) override;
    void setStatusLine(const std::string& text) override;
    void showRecord(const StatusRecord& record) override;
    void onlineChanged(bool online) override;
    // Rig painting.
    bool isTicked(int rigNumber) const override;
    void setTicked(int rigNumber, bool ticked) override;
    void setLamp(int rigNumber, NamedColour colour) override;
    void setMenuCheck(RigMenuItem item, bool checked) override;
    void showError(const std::string& text, const std::string& title) override;
    QCheckBox* rigBox(int rigNumber) const;

    void buildMenus();
    void buildTopStrip(QWidget* client);
    void buildServiceStrip(QWidget* client);
    void buildFrontPanel(QWidget* client);
    void buildDisplay();
    void buildScreens();
    void buildSetupPanel(QWidget* client);
    // The "Functions" items to the service screens and the element editor.
    void wireFunctions();
    KeyButton* addKey(const char* name, int tag, QRect place, const QPixmap& glyph,
                      const QString& caption = {});

    void saveSettings();
    // Tells the operator, once a run, that the settings file is left alone and why.
    void reportUnusableSettings(const ProfileFile& settings);
    void setPollRunning(bool running);
    // Closes, opens and configures the port; true when PortError is 0 after the pair.
    bool reopenPort(int n);
    std::optional<std::string> mappedDevice(int n) const;
    // Port session painting.
    void portClosed() override;
    void deviceLost() override;
    void runRetryTimer(bool running) override;
    void deviceBack() override;
    // What the port dialog's Test tells of the device for COMn.
    QString testPort(int n, const QString& device);
    void refreshPortTips();
    void openManual(const char* fileName);
    void message(const QString& text, const QString& title = QStringLiteral("Skarnel"));
    KeyButton* keyWithCode(int code) const;
    // The status bar's link and radio fields, and the display's dimming, from the state now.
    void refreshStatusBar();
    // A port was (re)opened: nothing on the display is known of the controller on it.
    void forgetDisplay();
    void moveBandLamp(const KeyButton* key);
    void showBandLamp();

    ConsoleOptions options_;
    std::shared_ptr<Dialogs> dialogs_;
    Comm32 port_;
    std::unique_ptr<QtEventPump> pump_;
    Link link_;
    StatusPoll poll_;
    std::shared_ptr<Scheduler> scheduler_;
    PortSession session_;
    // Declared after the link: it is destroyed first, deferred reports and all.
    std::unique_ptr<RigTracker> rigs_;
    QTimer tmTimer_;
    QTimer tmPoll_;
    QTimer tmRetry_;
    bool started_ = false;
    bool settingsLoaded_ = false;
    bool settingsProblemReported_ = false;
    bool rigStepDeferred_ = false;
    bool centred_ = false;
    bool pollRunning_ = true;

    std::array<QAction*, kPortCount> portItems_{};
    QMenu* Functions1_ = nullptr;
    // Calibrate1, FactoryDefault1, ModifyElemets1, Retract1, estelements1.
    std::array<QAction*, 5> functionItems_{};
    QAction* Radio1_ = nullptr;
    QAction* Radio21_ = nullptr;
    QAction* NoRadio1_ = nullptr;

    QLabel* lStatus_ = nullptr;
    Lamp* ldTX_ = nullptr;
    Lamp* ldRX_ = nullptr;
    QCheckBox* ckOmni1_ = nullptr;
    QCheckBox* ckOmni2_ = nullptr;
    QPushButton* btSetOmni_ = nullptr;

    QFrame* Panel2_ = nullptr;
    QPushButton* btImposta_ = nullptr;
    QPushButton* btRetract_ = nullptr;
    QComboBox* cbSlave_ = nullptr;
    QCheckBox* ckSK2200_ = nullptr;
    QLabel* lResult_ = nullptr;

    SetupPanel* setupPanel_ = nullptr;
    QFrame* pnImposta_ = nullptr;
    QPushButton* btRicevi_ = nullptr;
    QPushButton* btInvia_ = nullptr;
    QPushButton* btAggiorna_ = nullptr;

    QFrame* pnBlue_ = nullptr;
    std::vector<KeyButton*> frontKeys_;  // SpeedButton1..12 and Chiudi
    std::vector<KeyButton*> panelKeys_;  // every key on the panel, in creation order
    KeyButton* SpeedButton14_ = nullptr;
    KeyButton* BLED_ON1_ = nullptr;
    KeyButton* BPower_ON_ = nullptr;
    QLabel* l180_ = nullptr;
    Lamp* ld180_ = nullptr;
    QLabel* lBidir_ = nullptr;
    Lamp* ldBidir_ = nullptr;
    QLabel* lMove_ = nullptr;
    Lamp* ldMove_ = nullptr;
    QLabel* lProgressFG_ = nullptr;
    QLabel* lProgressBG_ = nullptr;
    QLabel* lSituaz_ = nullptr;
    QPlainTextEdit* mmLog_ = nullptr;

    QFrame* pnDisplay_ = nullptr;
    ClickableLabel* lFreq_ = nullptr;
    QLabel* lBanda_ = nullptr;
    QLabel* Heading_ = nullptr;
    QLabel* moving_ = nullptr;
    QFrame* Panel_Elem_Retract_ = nullptr;
    QFrame* Panel_Chiuso_ = nullptr;
    QFrame* COM_VERIFY_ = nullptr;
    // Why the last port failed to open, under "SELECT THE VALID PORT".
    QLabel* lPortError_ = nullptr;
    QString portReason_;
    ServiceScreens* services_ = nullptr;
    ElementEditor* editor_ = nullptr;

    ConsoleStatusBar* statusBar_ = nullptr;
    LinkWatch linkWatch_;
    DisplayDimmer dimmer_;
};

}  // namespace kt6
