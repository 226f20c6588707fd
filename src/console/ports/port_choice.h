#pragma once
// The operator's choice of a port, from the "Com port" menu or as the start's remembered port:
// opens it through the port session and, once the outcome is in (at once for a device, a moment
// later for a network port, the window serving everything meanwhile), shows it as the window
// always has: the menu's checks, "SELECT THE VALID PORT" and its reason, the status line and
// the status bar, and the start's wait for a port that is not there yet.
#include <QString>
#include <cstdint>
#include <functional>

#include "core/port_session.h"

class QAbstractButton;
class QLabel;
class QWidget;

namespace kt6 {

class Comm32;
class LinkState;
class PanelView;
class PortMenu;

struct PortChoiceContext {
    PortSession& session;
    // Where the chosen port leads, for the texts.
    const Comm32& port;
    LinkState& linkState;
    PortMenu& menu;
    PanelView& panel;
    QLabel* lStatus = nullptr;
    QLabel* lPortError = nullptr;
    // The "SELECT THE VALID PORT" screen and its panel, the display they cover.
    QWidget* COM_VERIFY = nullptr;
    QWidget* Panel_Chiuso = nullptr;
    QWidget* pnDisplay = nullptr;
    // The key pressed once a port is open.
    QAbstractButton* SpeedButton14 = nullptr;
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
    void deviceBack();

  private:
    enum class Origin { Menu, Start };
    void choose(int n, Origin origin);
    // The network port's open runs: the status bar says so, and nothing of the old port shows.
    void showConnecting(int n);
    // What every open's outcome shows; true when the port is open and configured.
    bool showOutcome(int n, const PortSession::Opened& opened);
    void selected(int n, bool ok);
    void started(int n, bool ok);

    PortChoiceContext c_;
    QString portReason_;
    // Why the last open failed (its PortError), 0 after a success.
    std::int32_t portCause_ = 0;
    // The start's port is retried: its prompt goes when it opens.
    bool awaitingStartPort_ = false;
};

}  // namespace kt6
