// The front panel's key handlers: each a command on the link's queue, answered from the loop.
#include <QPushButton>

#include "console/dialogs.h"
#include "console/fm_main.h"
#include "console/panel/key_button.h"
#include "console/whole_number.h"
#include "link/commands.h"

namespace kt6 {

namespace {
constexpr int kTries = 4;
constexpr std::chrono::milliseconds kKeyTimeout{100};
}  // namespace

void FmMain::SendKey(std::uint8_t code, bool flag) {
    link_.ExchangeEnabled = true;
    link_.send(Command{kt6::code(CommandCode::Key), {code}, flag, kTries, kKeyTimeout}, {},
               Link::Lane::Held);
}

void FmMain::SpeedButton1Click() {
    auto* key = qobject_cast<KeyButton*>(sender());
    if (!key) return;
    const int code = key->tag();
    SendKey(static_cast<std::uint8_t>(code));
    if (code >= keys::k6m && code <= keys::k40m) {
        panel_.moveBandLamp(key);
        ui_.SpeedButton14->click();
        panel_.showBandLamp();
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
    link_.ExchangeEnabled = true;
    link_.send(Command{code(CommandCode::SetFrequency),
                       {static_cast<std::uint8_t>(*value & 0xFF),
                        static_cast<std::uint8_t>((*value >> 8) & 0xFF)},
                       true,
                       kTries,
                       kKeyTimeout},
               {});
}

void FmMain::btRetractClick() {
    link_.ExchangeEnabled = true;
    link_.send(Command{code(CommandCode::Retract), {}, true, kTries, kKeyTimeout}, {});
}

void FmMain::lProgressFGClick() {
    link_.ExchangeEnabled = true;
    link_.send(Command{code(CommandCode::Progress), {}, true, kTries, kKeyTimeout},
               [this](const Outcome& outcome) {
                   if (outcome.status == 0) panel_.showProgress(outcome.reply);
               });
}

}  // namespace kt6
