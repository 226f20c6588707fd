#include "console/ports/port_choice.h"

#include <QAbstractButton>
#include <QLabel>
#include <cstdio>
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
    choose(n, Origin::Menu);
}

void PortChoice::start(int n) {
    choose(n, Origin::Start);
}

void PortChoice::choose(int n, Origin origin) {
    // A choice ends any retrying of a lost port, whichever port it names.
    c_.session.stopRetrying();
    awaitingStartPort_ = false;
    c_.session.open(n, [this, n, origin](const PortSession::Opened& opened) {
        const bool ok = showOutcome(n, opened);
        if (origin == Origin::Menu) {
            selected(n, ok);
        } else {
            started(n, ok);
        }
    });
    if (c_.session.state() == PortSession::State::Opening) showConnecting(n);
}

void PortChoice::showConnecting(int n) {
    c_.lStatus->setText(kConnecting);
    c_.menu.uncheckAll();
    c_.menu.check(n);
    c_.panel.forgetDisplay();
    c_.linkState.portConnecting(n, c_.session.pathOf(n));
    c_.refreshStatusBar();
}

bool PortChoice::showOutcome(int n, const PortSession::Opened& opened) {
    portCause_ = opened.cause;
    c_.menu.refreshTips();
    portReason_ = opened.ok
                      ? QString()
                      : QString::fromStdString(portErrorText(opened.cause, c_.port.DevicePath()));
    if (!opened.ok) std::fprintf(stderr, "link: COM%d %s\n", n, portReason_.toUtf8().constData());
    c_.lPortError->setText(portReason_);
    const std::string device = c_.port.DevicePath();
    c_.panel.forgetDisplay();
    if (opened.ok) {
        c_.linkState.portOpened(n, device);
    } else {
        c_.linkState.portClosed(n, device, opened.cause);
        QString why = QString::fromStdString(shortPortReason(opened.cause, device));
        const QString prefix = QString::fromStdString(device) + QStringLiteral(": ");
        if (why.startsWith(prefix)) why = why.mid(prefix.size());
        c_.announce(QStringLiteral("Port COM%1: %2").arg(n).arg(why));
    }
    c_.refreshStatusBar();
    return opened.ok;
}

void PortChoice::selected(int n, bool ok) {
    if (ok) {
        c_.lStatus->setText(kConnecting);
        c_.menu.uncheckAll();
        c_.SpeedButton14->click();
        c_.menu.check(n);
        c_.COM_VERIFY->hide();
        c_.Panel_Chiuso->hide();
        return;
    }
    c_.session.forgetPortNumber();
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

void PortChoice::started(int n, bool ok) {
    if (ok) {
        c_.lStatus->setText(kConnecting);
        return;
    }
    // The saved port's adapter may be plugged in, or its server started, after the console:
    // it is waited for as a lost device is, and the operator is asked for another meanwhile.
    if (n < 1 || n > kComPortCount) return;
    if (!c_.session.retryUnopened(portCause_)) return;
    awaitingStartPort_ = true;
    c_.linkState.portRetried();
    c_.pnDisplay->hide();
    c_.Panel_Chiuso->show();
    c_.COM_VERIFY->show();
    c_.refreshStatusBar();
    std::fprintf(stderr, "link: COM%d: retrying every %lld s\n", n,
                 static_cast<long long>(PortSession::kRetryInterval.count() / 1000));
}

void PortChoice::deviceBack() {
    if (!std::exchange(awaitingStartPort_, false)) return;
    // The start's port is open at last: what a choice of it from the menu would do.
    c_.COM_VERIFY->hide();
    c_.Panel_Chiuso->hide();
    c_.SpeedButton14->click();
}

}  // namespace kt6
