// The front panel's key handlers: each an operation of the console controller, answered from
// the loop.
#include <QPushButton>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "console/panel/key_button.h"
#include "console/whole_number.h"
#include "link/commands.h"

namespace kt6 {

void FmMain::SendKey(std::uint8_t code, bool flag) {
    controller_.sendKey(code, flag);
}

void FmMain::SpeedButton1Click() {
    auto* key = qobject_cast<KeyButton*>(sender());
    if (!key) return;
    // A key out of sight or under a screen never acts, however it was reached; the hidden
    // Return key is the window's own, pressed from code.
    if (key != ui_.SpeedButton14 && !(key->isVisibleTo(this) && key->isEnabled())) return;
    controller_.pressPanelKey(static_cast<std::uint8_t>(key->tag()));
}

void FmMain::bandKeyPressed(std::uint8_t code) {
    for (KeyButton* key : ui_.frontKeys) {
        if (key->tag() == code) {
            panel_.moveBandLamp(key);
            panel_.showBandLamp();
            return;
        }
    }
}

void FmMain::lFreqClick() {
    const auto text =
        dialogs_->input(this, QStringLiteral("Skarnel"), QStringLiteral("Nuova frequenza in Khz"),
                        QStringLiteral("7000"));
    if (!text) return;
    const auto value = wholeNumber(text->trimmed().toStdString());
    if (!value || *value < 0 || *value > 65535) {
        message(QStringLiteral("\"%1\" is not a frequency in kHz from 0 to 65535.").arg(*text));
        return;
    }
    sendFrequency(static_cast<std::uint32_t>(*value), {});
}

void FmMain::sendFrequency(std::uint32_t khz, Link::Completion done) {
    controller_.setFrequency(khz, std::move(done));
}

void FmMain::btRetractClick() {
    controller_.retract();
}

void FmMain::lProgressFGClick() {
    controller_.readProgress([this](const Outcome& outcome) {
        if (outcome.status == 0) panel_.showProgress(outcome.reply);
    });
}

}  // namespace kt6
