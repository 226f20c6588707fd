#include "console/ports/port_choice.h"

#include <QAbstractButton>
#include <QLabel>
#include <utility>

#include "console/panel/panel_view.h"
#include "console/ports/port_menu.h"
#include "core/link_state.h"
#include "link/comm32.h"

namespace kt6 {

namespace {
const QString kConnecting = QStringLiteral("Stato: in connessione...");
}  // namespace

void PortChoice::select(int n) {
    choose(n, PortOrigin::Menu);
}

void PortChoice::start(int n) {
    choose(n, PortOrigin::Start);
}

void PortChoice::choose(int n, PortOrigin origin) {
    c_.controller.choosePort(n, origin, [this, origin](const PortOutcome& outcome) {
        showOutcome(outcome);
        if (origin == PortOrigin::Menu) {
            selected(outcome);
        } else {
            started(outcome);
        }
    });
    if (c_.controller.session().state() == PortSession::State::Opening) showConnecting(n);
}

void PortChoice::showConnecting(int n) {
    c_.lStatus->setText(kConnecting);
    c_.menu.uncheckAll();
    c_.menu.check(n);
    c_.panel.forgetDisplay();
}

void PortChoice::showOutcome(const PortOutcome& outcome) {
    c_.menu.refreshTips();
    const std::string device = c_.controller.port().DevicePath();
    portReason_ =
        outcome.ok ? QString() : QString::fromStdString(portErrorText(outcome.cause, device));
    c_.lPortError->setText(portReason_);
    c_.panel.forgetDisplay();
    if (!outcome.ok) {
        QString why = QString::fromStdString(shortPortReason(outcome.cause, device));
        const QString prefix = QString::fromStdString(device) + QStringLiteral(": ");
        if (why.startsWith(prefix)) why = why.mid(prefix.size());
        c_.announce(QStringLiteral("Port COM%1: %2").arg(outcome.port).arg(why));
    }
}

void PortChoice::selected(const PortOutcome& outcome) {
    const int n = outcome.port;
    if (outcome.ok) {
        // The return key has gone out with the open.
        c_.lStatus->setText(kConnecting);
        c_.menu.uncheckAll();
        c_.menu.check(n);
        c_.COM_VERIFY->hide();
        c_.Panel_Chiuso->hide();
        return;
    }
    c_.lStatus->setText(QStringLiteral("Stato: non connesso (porta chiusa)."));
    c_.lStatus->setToolTip(portReason_);
    c_.panel.setLinkButtonsEnabled(false);
    c_.pnDisplay->hide();
    if (n != 1) {
        c_.Panel_Chiuso->show();
        c_.COM_VERIFY->show();
    }
    c_.menu.uncheckAll();
    c_.menu.check(n);
}

void PortChoice::started(const PortOutcome& outcome) {
    if (outcome.ok) {
        c_.lStatus->setText(kConnecting);
        return;
    }
    // The operator is asked for another port while the start's is waited for.
    if (!outcome.awaited) return;
    c_.pnDisplay->hide();
    c_.Panel_Chiuso->show();
    c_.COM_VERIFY->show();
}

void PortChoice::deviceBack(bool startPort) {
    if (!startPort) return;
    // The start's port is open at last: what a choice of it from the menu would do.
    c_.COM_VERIFY->hide();
    c_.Panel_Chiuso->hide();
}

}  // namespace kt6
