#include "console/panel/panel_view.h"

#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <utility>

#include "console/colours.h"
#include "console/panel/display_dimmer.h"
#include "console/panel/front_keys.h"
#include "console/panel/key_button.h"
#include "console/panel/lamp.h"
#include "console/status/link_status.h"
#include "core/link_state.h"
#include "core/status_view.h"
#include "logging/log.h"

namespace kt6 {

namespace {

// While the display is off its lines are black on black: a screen reader says so instead of
// reading them as if shown. While it is on, a line's name is its text.
void nameLine(QLabel* line, const char* what, bool displayOff) {
    const QString name =
        displayOff ? QString::fromLatin1(what) + QStringLiteral(": display off") : QString();
    if (line->accessibleName() != name) line->setAccessibleName(name);
}

}  // namespace

void PanelView::nameDisplayLines(bool displayOff) {
    nameLine(w_.lFreq, "Frequency", displayOff);
    nameLine(w_.lBanda, "Band", displayOff);
    nameLine(w_.Heading, "Heading", displayOff);
}

void PanelView::nameBandKeys(bool lampPlaced) {
    for (KeyButton* key : w_.frontKeys) {
        if (bandOfKey(key->tag()).isEmpty()) continue;
        const bool lit = lampPlaced && key->pos() == w_.BLED_ON1->pos();
        const QString name = keyName(key->tag()) + (lit ? QStringLiteral(", lit") : QString());
        // Qt tells assistive technology of every name set, changed or not.
        if (key->accessibleName() != name) key->setAccessibleName(name);
    }
}

void PanelView::forgetDisplay() {
    context_.dimmer.setDimmed(false);
    for (QLabel* line : {w_.lFreq, w_.lBanda, w_.Heading}) line->clear();
    nameDisplayLines(false);
    w_.BLED_ON1->hide();
    nameBandKeys(false);
}

void PanelView::moveBandLamp(const KeyButton* key) {
    w_.BLED_ON1->move(key->pos());
}

void PanelView::showBandLamp() {
    w_.BLED_ON1->show();
    w_.BLED_ON1->raise();
    nameBandKeys(true);
}

void PanelView::showProgress(const Bytes& rx) {
    // Two words; a shorter reply changes nothing.
    if (rx.size() < 4) return;
    const int first = rx[0] | rx[1] << 8;
    const int second = rx[2] | rx[3] << 8;
    const int width = first == 0 ? 0 : w_.lProgressBG->width() * second / 60;
    w_.lProgressFG->resize(width, w_.lProgressFG->height());
}

KeyButton* PanelView::keyWithCode(int code) const {
    for (KeyButton* key : w_.frontKeys) {
        if (key->tag() == code) return key;
    }
    return nullptr;
}

// --- poll painting ---

void PanelView::showDisplay() {
    w_.Panel_Elem_Retract->hide();
    w_.pnDisplay->show();
}

void PanelView::showRetracted() {
    // A frequency of 0 before any reply on this port is not the controller's word: the empty
    // display says nothing is known yet.
    if (!context_.linkState.answered()) {
        w_.Panel_Elem_Retract->hide();
        w_.pnDisplay->show();
        w_.BLED_ON1->hide();
        nameBandKeys(false);
        return;
    }
    w_.pnDisplay->hide();
    w_.Panel_Elem_Retract->show();
    w_.BLED_ON1->hide();
    nameBandKeys(false);
}

void PanelView::placeBandLamp(int keyCode) {
    if (!context_.linkState.answered()) return;
    KeyButton* key = keyWithCode(keyCode);
    if (!key) return;
    moveBandLamp(key);
    showBandLamp();
}

void PanelView::setLinkButtonsEnabled(bool enabled) {
    for (QPushButton* b : w_.linkButtons) b->setEnabled(enabled);
}

void PanelView::setStatusLine(const std::string& text) {
    w_.lStatus->setText(QString::fromStdString(text));
}

void PanelView::showRecord(const StatusRecord& r) {
    // Told at the change, not at every reply that repeats it.
    if (r.moving != moving_) {
        moving_ = r.moving;
        context_.announce(moving_ ? QStringLiteral("Elements moving")
                                  : QStringLiteral("Elements stopped"));
    }
    context_.dimmer.setDimmed(false);
    const QString separator = QLocale().decimalPoint();
    const char sep = separator.size() == 1 && separator[0].unicode() < 128
                         ? static_cast<char>(separator[0].unicode())
                         : '.';
    const DisplayLines lines = displayLines(r, sep);
    w_.lStatus->setText(QString::fromStdString(lines.status));
    w_.lSituaz->setText(QString::fromStdString(lines.screen));
    w_.lFreq->setText(QString::fromStdString(lines.frequency));
    w_.lBanda->setText(QString::fromStdString(lines.band));
    if (auto h = headingLamps(r.heading)) {
        setTextColour(w_.lBidir, h->bidirCaption);
        w_.ldBidir->setColour(h->bidirLamp);
        setTextColour(w_.l180, h->reversedCaption);
        w_.ld180->setColour(h->reversedLamp);
        w_.Heading->setText(
            QString::fromUtf8(h->line.data(), static_cast<qsizetype>(h->line.size())));
    }
    const DisplayFace face = displayFace(r.flags);
    setBackground(w_.pnDisplay, face.background);
    w_.BPower_ON->setVisible(face.powerKeyLit);
    nameDisplayLines((r.flags & StatusRecord::kDisplayOff) != 0);
    setTextColour(w_.lFreq, kDisplayText);
    setTextColour(w_.lBanda, kDisplayText);
    if (face.headingInked) setTextColour(w_.Heading, kDisplayText);
}

void PanelView::onlineChanged(bool online) {
    // A line per change of the link, for stations that run the console from a terminal.
    const QByteArray state =
        online ? "online, " + w_.lStatus->text().toUtf8() : QByteArray("offline");
    qCInfo(lcLink, "COM%d %s", context_.portNumber(), state.constData());
    if (!online) {
        // Motion is known again only from the next reply.
        moving_ = false;
        linkLost_ = true;
        context_.announce(QStringLiteral("Link lost: COM%1").arg(context_.portNumber()));
    } else if (std::exchange(linkLost_, false)) {
        context_.announce(
            QStringLiteral("Link back: %1").arg(QString::fromStdString(context_.linkState.text())));
    }
}

// --- link painting ---

void PanelView::txLamp(bool sending) {
    w_.ldTX->setColour(txLampColour(sending));
}

void PanelView::rxLamp(bool inputWaiting) {
    w_.ldRX->setColour(rxLampColour(inputWaiting));
}

void PanelView::blinkStep() {
    w_.btAggiorna->setEnabled(true);
    const bool lit = textColourOf(w_.lMove) != toQColor(NamedColour::clGray);
    const MovingIndicator step = movingIndicatorStep(context_.elementsMoving(), lit);
    setTextColour(w_.lMove, step.caption);
    w_.ldMove->setColour(step.lamp);
    if (step.hideBandLamp) w_.BLED_ON1->hide();
    w_.moving->setVisible(step.showBanner);
}

void PanelView::linkWarning(std::string_view text) {
    qCWarning(lcLink, "%.*s", static_cast<int>(text.size()), text.data());
}

void PanelView::commandAnswered(std::uint8_t code, const Bytes& sent, std::uint8_t status) {
    if (status != 0) context_.announce(refusalText(code, sent, status));
}

}  // namespace kt6
