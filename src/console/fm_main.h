#pragma once
// The console's one window, a switchboard: it builds the controls under their own names, hands
// each screen a narrow context, and forwards every handler to the object whose job it is.
#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "console/console_options.h"
#include "console/panel/display_dimmer.h"
#include "console/panel/panel_view.h"
#include "console/window_controls.h"
#include "console/window_settings.h"
#include "core/console_controller.h"
#include "link/scheduler.h"

namespace kt6 {

class ConsoleStatusBar;
class ElementEditor;
class HelpPages;
class PortChoice;
class PortMenu;
class LinkDriver;
class RadioPanel;
class ServiceScreens;
class SetupPanel;
class StationHost;

class FmMain : public QMainWindow, private ConsoleObserver {
    Q_OBJECT
  public:
    explicit FmMain(ConsoleOptions options, QWidget* parent = nullptr);
    ~FmMain() override;

    // The console below the window: port, link, poll, session, radio.
    ConsoleController& controller() { return controller_; }
    Link& link() { return controller_.link(); }
    StatusPoll& poll() { return controller_.poll(); }
    Comm32& port() { return controller_.port(); }
    int PortNumber() const { return controller_.portNumber(); }
    // True while the open port's device is gone and the window tries to reopen it.
    bool portLost() const { return controller_.portLost(); }
    const RepeatingTimer& retryTimer() const { return controller_.retryTimer(); }
    const RepeatingTimer& pollTimer() const { return controller_.pollTimer(); }
    // A service sequence or editor walk is under way.
    bool sequenceRunning() const;
    // Tells the operator something in the status bar's events field ("Backup saved to ...").
    void announce(const QString& text);
    void clearEvent();  // empties the status bar's event field
    ConsoleStatusBar* consoleStatusBar() const { return statusBar_; }
    SetupPanel& setupPanel() { return *setupPanel_; }
    // Whether the status poll is meant to run (block transfers stop it).
    bool pollRunning() const { return controller_.pollRunning(); }
    // Shows the service strip as a row below the front panel, the window growing by its height.
    void showServiceStrip(bool shown);
  public slots:
    // The start-up sequence; runs once, on the first activation.
    void FormActivate();
    void SelectPort(int n);
    // "Assign ports...": which device each COM opens, with a test of each.
    void AssignPorts1Click();
    void UncheckPortItems();
    void HideFrontKeys();
    void ShowFrontKeys();
    void EnableLengthSteppers();
    // The click of any front-panel key: its tag is the key code.
    void SpeedButton1Click();
    // Hands the port's input to the link now, as its notifier does (tests drive it so).
    void serviceLink();
    // A front-panel key press: command 8, the exchange enabled first. Sent on the held lane:
    // input is dropped while work holds the link, so a key sent then is that work's own.
    void SendKey(std::uint8_t code, bool flag = false);
    void lFreqClick();
    void btRetractClick();
    void btImpostaClick();
    void ckSK2200Click();
    void lProgressFGClick();
    void tmTimerTimer();
    void tmPollTimer();
    // Every 2 s while the open port's device is gone: one attempt to open it again.
    void tmRetryTimer();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // The controls, their names and their wiring (fm_main_layout.cpp).
    void buildWindow(), buildMenus(), buildDisplay(), buildScreens();
    void buildTopStrip(QWidget*client), buildServiceStrip(QWidget*client);
    void buildFrontPanel(QWidget*client), buildSetupPanel(QWidget*client);
    // The "Functions" items to the service screens and the element editor.
    void wireFunctions();
    // The keyboard's bindings, the panel view's and radio panel's controls, the port menu.
    void wireViews();
    KeyButton* addKey(const char* name, int tag, QRect place, const QPixmap& glyph,
                      const QString& caption = {});
    void setPollRunning(bool running);
    // Command 3 as "lFreq" sends it.
    void sendFrequency(std::uint32_t khz, Link::Completion done);
    // ConsoleObserver.
    void linkChanged() override { refreshStatusBar(); }
    void deviceBack(bool startPort) override;
    void bandKeyPressed(std::uint8_t code) override;
    void replyRead() override;
    void logLink(const std::string& text, bool warning) override;
    void message(const QString& text, const QString& title = QStringLiteral("Skarnel"));
    // The status bar's link and radio fields, and the display's dimming, from the state now.
    void refreshStatusBar();

    ConsoleOptions options_;
    std::shared_ptr<Dialogs> dialogs_;
    std::shared_ptr<Scheduler> scheduler_;
    ConsoleController controller_;
    DisplayDimmer dimmer_;
    PanelView panel_;
    WindowSettings settings_;
    std::unique_ptr<HelpPages> help_;
    RadioPanel* radio_ = nullptr;
    bool started_ = false, settingsLoaded_ = false, centred_ = false;

    WindowControls ui_;
    PortMenu* ports_ = nullptr;
    std::unique_ptr<PortChoice> choice_;  // the port choices and what their outcomes show
    SetupPanel* setupPanel_ = nullptr;
    ServiceScreens* services_ = nullptr;
    ElementEditor* editor_ = nullptr;
    ConsoleStatusBar* statusBar_ = nullptr;
    LinkDriver* driver_ = nullptr;
    std::unique_ptr<StationHost> station_;
};

}  // namespace kt6
