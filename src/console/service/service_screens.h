#pragma once
// The "Functions" menu's service screens: the questions laid over the display, the "please
// wait" screens while the motors run, and the handlers that walk the controller's menus
// behind them; the console controller's sequence runner walks them, these screens show it. The
// element editor shares the guard, the walk and the sequence hold.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "console/input_block.h"
#include "core/sequence_runner.h"
#include "core/service_sequences.h"
#include "core/status_poll.h"
#include "link/link.h"

class QAbstractButton;
class QAction;
class QFrame;
class QLabel;
class QWidget;

namespace kt6 {

// What the service screens reach of the window, and nothing more.
struct ServiceContext {
    Link& link;
    // The console controller's: it plays the sequences, these screens show them.
    SequenceRunner& runner;
    // Read only: whether the controller answered, its frequency, its heading mode, motion.
    const StatusPoll& poll;
    // The status bar's Events field: a text, or empty.
    std::function<void(const QString& text)> announce{};
    std::function<void()> clearEvent{};
    // Shows or hides the front panel's keys (SpeedButton1..12 and Chiudi).
    std::function<void(bool shown)> showFrontKeys{};
    // Gives the keyboard focus to the front panel (its first key on screen).
    std::function<void()> focusPanel{};
    // SpeedButton14, the key that returns the controller to its display.
    QAbstractButton* returnKey = nullptr;
    // COM_VERIFY: while it shows, no function may open.
    const QWidget* portPrompt = nullptr;
    // The display's band and heading lines, which the factory default overwrites.
    QLabel* bandLine = nullptr;
    QLabel* headingLine = nullptr;
    // The "Functions" items, in ServiceFunction order: their tips say what each does or why not.
    std::array<QAction*, 5> items{};
};

class ServiceScreens : public QObject, public SequenceView {
    Q_OBJECT
  public:
    // Builds the screens, hidden, over the display area of pnBlue.
    ServiceScreens(ServiceContext context, QWidget* pnBlue, QObject* parent);

    // Puts the service screens, the editor's panel, the retracted panel and the port prompt
    // into their stacking order (lowest first), above the display. From then on what a screen
    // covers is out of reach (as is the front panel under a panel laid over it whole), and the
    // keyboard's focus follows the top screen: a question's first button, a wait screen or the
    // port prompt itself, the front panel once none is up.
    void stackScreens(QWidget* editorPanel, QWidget* retracted, QWidget* portPanel);
    // The control that takes the focus while screen is on top; nullptr leaves it on the screen
    // itself. Screens without one take their first button.
    void setDefaultControl(QWidget* screen, std::function<QWidget*()> pick);
    // Gives the focus to what the top screen offers first, or to the front panel once none is
    // up, if the top changed or the focus is on something out of reach.
    void settleFocus();
    // True when an operator could reach w now: shown, enabled, not under a screen.
    static bool reachable(const QWidget* w);

    // A sequence under way: the link is held (no poll request, rig report or other exchange
    // between its keys), input is dropped, and no other sequence may start. A Run lasts as
    // long as it lives (keep it in the completions of the exchanges it waits for);
    // runSequence keeps the same up across its steps.
    class Run {
      public:
        explicit Run(ServiceScreens& screens) : run_(screens.context_.runner) {}

      private:
        SequenceRunner::Run run_;
    };
    // Plays the steps and returns at once; then runs after the last step, still inside the
    // sequence (it may start the next one).
    void runSequence(std::span<const ServiceStep> steps, std::function<void()> then = {});
    // The window is closing: the sequence ends where it stands.
    void stop();
    // The countdown of the Events field during a long wait (every second).
    const QTimer& countdownTimer() const { return countdown_; }
    bool running() const { return context_.runner.running(); }

    GuardState guardState() const;
    // Read only: the controller's state as the last status reply told it.
    const StatusPoll& poll() const { return context_.poll; }
    Link& link() { return context_.link; }
    // True when the function may open now; else the menu item's status tip says why.
    bool mayOpen(ServiceFunction function);
    // The function as its menu item and then its "Yes" run it, for a caller that confirmed
    // already; done when the sequence ends, with why it may not have run (keys the controller
    // did not answer) or empty. Empty when it started, else why not.
    std::string runConfirmed(ServiceFunction function,
                             std::function<void(const std::string& error)> done);
    // Sets each "Functions" item's status tip to what it does or why it cannot now.
    void refreshTips();

    QFrame* screen(ServiceScreen s) const { return screens_[static_cast<std::size_t>(s)]; }

    // A key of the sequence under way; done once its exchange is over.
    void key(std::uint8_t code, bool flag, bool enableExchange, std::function<void()> done) {
        context_.runner.key(code, flag, enableExchange, std::move(done));
    }
    // Sends a command as part of the sequence under way; done gets its outcome.
    void exchange(Command command, std::function<void(const Outcome&)> done) {
        context_.runner.exchange(std::move(command), std::move(done));
    }
    void returnKey(std::function<void()> done) { context_.runner.returnKey(std::move(done)); }

    // SequenceView, on the window.
    void sequenceRunning(bool running) override;
    void pauseStarted(std::chrono::milliseconds duration) override;
    void pauseEnded() override;
    void hideFrontKeys() override;
    void showFrontKeys() override;
    void show(ServiceScreen s) override;
    void hide(ServiceScreen s) override;
    void factoryLines() override;

  public slots:
    void Calibrate1Click() { open(ServiceFunction::Calibrate); }
    void FactoryDefault1Click() { open(ServiceFunction::FactoryDefault); }
    void Retract1Click() { open(ServiceFunction::Retract); }
    void estelements1Click() { open(ServiceFunction::TestElements); }
    void yes_calClick() { answer(ServiceAnswer::CalibrateYes); }
    void Press_NoClick() { answer(ServiceAnswer::CalibrateNo); }
    void factory_b_yesClick() { answer(ServiceAnswer::FactoryYes); }
    void factory_b_noClick() { answer(ServiceAnswer::FactoryNo); }
    void B_Retr_YesClick() { answer(ServiceAnswer::RetractYes); }
    void B_retract_2Click() { answer(ServiceAnswer::RetractNo); }
    void B_Test_YesClick() { answer(ServiceAnswer::TestYes); }
    void B_test_NOClick() { answer(ServiceAnswer::TestNo); }
    void B_testact_YesClick();
    // A second of a long wait gone: the Events field counts it down.
    void tmCountdownTimer();

  private:
    void open(ServiceFunction function);
    void answer(ServiceAnswer a);
    // The Events field tells a function's end, for whoever did not watch its screen go.
    void tellEnd(ServiceAnswer a);
    // A handler reached through a control out of reach (a press on a hidden button, say)
    // does nothing.
    bool fromUnreachable() const;
    void settleSoon();
    QWidget* defaultOf(QWidget* screen) const;
    QAction* menuItem(ServiceFunction function) const;
    // The Events field says why the item the operator chose did nothing.
    void tellRefusal(const QAction* item, std::string_view why);

    void showSecondsLeft();

    ServiceContext context_;
    std::array<QFrame*, kServiceScreenCount> screens_{};
    // Each screen's title: a long wait behind it is counted down under this name.
    std::array<QLabel*, kServiceScreenCount> titles_{};
    std::unique_ptr<InputBlock> block_;
    // The Events field counts a long wait down, once a second.
    QTimer countdown_;
    QString waitingFor_;
    int secondsLeft_ = 0;
    QWidget* pnBlue_ = nullptr;
    // The screens over the display, lowest first, and the one on top when focus last settled.
    std::vector<QWidget*> stack_;
    QPointer<QWidget> top_;
    bool settlePosted_ = false;
    std::map<const QWidget*, std::function<QWidget*()>> defaults_;
};

}  // namespace kt6
