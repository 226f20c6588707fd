#pragma once
// The "Functions" menu's service screens: the questions laid over the display, the "please
// wait" screens while the motors run, and the handlers that walk the controller's menus
// behind them. The element editor shares the guard, the walk and the sequence hold.
#include <QObject>
#include <array>
#include <memory>

#include "console/qt_pauser.h"
#include "console/service_sequences.h"
#include "link/link.h"
#include "link/pauser.h"

class QAction;
class QFrame;
class QWidget;

namespace kt6 {

class FmMain;

class ServiceScreens : public QObject, public ServiceActions {
    Q_OBJECT
  public:
    // Builds the screens, hidden, over the display area of pnBlue.
    ServiceScreens(FmMain& window, QWidget* pnBlue, Pauser& pauser);

    // Puts the service screens, the editor, the retracted panel and the port prompt into
    // their stacking order (lowest first), above the display.
    static void stackScreens(QWidget* pnBlue);

    // A sequence under way: the link is held (no poll request, rig report or other exchange
    // between its keys), input is dropped, and no other sequence may start.
    class Run {
      public:
        explicit Run(ServiceScreens& screens);
        ~Run();
        Run(const Run&) = delete;
        Run& operator=(const Run&) = delete;

      private:
        ServiceScreens& screens_;
        Link::Hold hold_;
        InputBlock block_;
    };
    bool running() const { return running_; }

    GuardState guardState() const;
    // True when the function may open now; else the menu item's status tip says why.
    bool mayOpen(ServiceFunction function);
    // Sets each "Functions" item's status tip to what it does or why it cannot now.
    void refreshTips();

    QFrame* screen(ServiceScreen s) const { return screens_[static_cast<std::size_t>(s)]; }

    // ServiceActions, on the window.
    void key(std::uint8_t code, bool flag, bool enableExchange) override;
    void returnKey() override;
    void pause(std::chrono::milliseconds duration) override;
    void hideFrontKeys() override;
    void showFrontKeys() override;
    void show(ServiceScreen s) override;
    void hide(ServiceScreen s) override;
    void factoryLines() override;
    std::uint32_t currentFrequency() const override;

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

  private:
    void open(ServiceFunction function);
    void answer(ServiceAnswer a);
    QAction* menuItem(ServiceFunction function) const;

    FmMain& window_;
    Pauser& pauser_;
    std::array<QFrame*, kServiceScreenCount> screens_{};
    bool running_ = false;
};

}  // namespace kt6
