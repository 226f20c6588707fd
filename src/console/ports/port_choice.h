#pragma once
// The operator's choice of a port, from the "Com port" menu or as the start's remembered port:
// opens it through the port session and, once the outcome is in (at once for a device, a moment
// later for a network port, the window serving everything meanwhile), shows it as the window
// always has: the menu's checks, "SELECT THE VALID PORT" and its reason, the status line and
// the status bar, and the start's wait for a port that is not there yet.
#include <QString>
#include <cstdint>
#include <functional>

#include "core/console_controller.h"

class QAbstractButton;
class QLabel;
class QWidget;

namespace kt6 {

class PanelView;
class PortMenu;

struct PortChoiceContext {
    // It opens the port and decides what follows; the choice shows it.
    ConsoleController& controller;
    PortMenu& menu;
    PanelView& panel;
    QLabel* lStatus = nullptr;
    QLabel* lPortError = nullptr;
    // The "SELECT THE VALID PORT" screen and its panel, the display they cover.
    QWidget* COM_VERIFY = nullptr;
    QWidget* Panel_Chiuso = nullptr;
    QWidget* pnDisplay = nullptr;
    std::function<void(const QString&)> announce;
    std::function<void()> refreshStatusBar;
};

class PortChoice {
  public:
    explicit PortChoice(PortChoiceContext context) : c_(std::move(context)) {}

    // The operator chose COMn: any retrying ends, and the port opens.
    void select(int n);
    // The start opens the port remembered from the last run (n may be none of 1..13); one whose
    // device is not there yet is waited for under "SELECT THE VALID PORT".
    void start(int n);
    // A lost or waited-for port is open again: the start's port, if it was the one waited
    // for, leaves its prompt as a choice of it would.
    void deviceBack(bool startPort);

  private:
    void choose(int n, PortOrigin origin);
    // The network port's open runs: nothing of the old port shows.
    void showConnecting(int n);
    // What every open's outcome shows.
    void showOutcome(const PortOutcome& outcome);
    void selected(const PortOutcome& outcome);
    void started(const PortOutcome& outcome);

    PortChoiceContext c_;
    QString portReason_;
};

}  // namespace kt6
