#include "console/keyboard.h"

#include <QAbstractButton>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "console/front_keys.h"
#include "console/key_button.h"
#include "console/lamp.h"

namespace kt6 {
namespace {

struct Binding {
    const char* key;  // objectName of the key control
    QKeySequence shortcut;
};

// The band keys from low to high, then the other keys of the panel.
const Binding kBindings[] = {
    {"SpeedButton5", QKeySequence(Qt::CTRL | Qt::Key_1)},
    {"SpeedButton6", QKeySequence(Qt::CTRL | Qt::Key_2)},
    {"SpeedButton7", QKeySequence(Qt::CTRL | Qt::Key_3)},
    {"SpeedButton8", QKeySequence(Qt::CTRL | Qt::Key_4)},
    {"SpeedButton1", QKeySequence(Qt::CTRL | Qt::Key_5)},
    {"SpeedButton2", QKeySequence(Qt::CTRL | Qt::Key_6)},
    {"SpeedButton3", QKeySequence(Qt::CTRL | Qt::Key_7)},
    {"SpeedButton4", QKeySequence(Qt::CTRL | Qt::Key_8)},
    {"SpeedButton10", QKeySequence(Qt::CTRL | Qt::Key_Up)},
    {"SpeedButton11", QKeySequence(Qt::CTRL | Qt::Key_Down)},
    {"SpeedButton12", QKeySequence(Qt::CTRL | Qt::Key_D)},
    {"Chiudi", QKeySequence(Qt::CTRL | Qt::Key_P)},
};

const QKeySequence kFrequencyEntry(Qt::CTRL | Qt::Key_F);

QString nativeText(const QKeySequence& s) {
    return s.toString(QKeySequence::NativeText);
}

void describe(KeyButton* key, const QKeySequence& shortcut) {
    const QString name = keyName(key->tag());
    key->setAccessibleName(name);
    const QString tip =
        shortcut.isEmpty() ? name : QStringLiteral("%1 (%2)").arg(name, nativeText(shortcut));
    key->setToolTip(tip);
}

QShortcut* shortcutOn(QWidget* window, const QKeySequence& keys, std::function<void()> action) {
    auto* s = new QShortcut(keys, window);
    s->setContext(Qt::WindowShortcut);
    QObject::connect(s, &QShortcut::activated, window, std::move(action));
    return s;
}

}  // namespace

void bindFrontPanel(QWidget* window, QWidget* panel, std::function<void()> frequencyEntry) {
    for (KeyButton* key : panel->findChildren<KeyButton*>()) describe(key, {});
    for (const Binding& b : kBindings) {
        auto* key = panel->findChild<KeyButton*>(QString::fromLatin1(b.key));
        if (!key) continue;
        describe(key, b.shortcut);
        shortcutOn(window, b.shortcut, [key, panel] {
            // The lit power key lies over the dark one while the display is on; either
            // sends the same code, the one on top is the one a click would hit.
            if (key->objectName() == QLatin1String("Chiudi")) {
                auto* on = panel->findChild<KeyButton*>(QStringLiteral("BPower_ON"));
                if (on && !on->isHidden()) {
                    on->click();
                    return;
                }
            }
            if (!key->isHidden()) key->click();
        });
    }
    if (auto* on = panel->findChild<KeyButton*>(QStringLiteral("BPower_ON"))) {
        describe(on, QKeySequence(Qt::CTRL | Qt::Key_P));
    }
    if (auto* lit = panel->findChild<KeyButton*>(QStringLiteral("BLED_ON1"))) {
        lit->setToolTip(QStringLiteral("The lit band key: the band in use"));
    }

    const std::pair<const char*, NamedColour> kLamps[] = {{"ld180", NamedColour::clLime},
                                                          {"ldBidir", NamedColour::clRed},
                                                          {"ldMove", NamedColour::clRed},
                                                          {"ldTX", NamedColour::clLime},
                                                          {"ldRX", NamedColour::clAqua}};
    const char* kLampNames[] = {"180\u00B0", "Bi-dir.", "Moving", "Tx", "Rx"};
    for (std::size_t i = 0; i < std::size(kLamps); ++i) {
        auto* lamp = window->findChild<Lamp*>(QString::fromLatin1(kLamps[i].first));
        if (lamp) lamp->describeAs(QString::fromUtf8(kLampNames[i]), kLamps[i].second);
    }

    if (auto* freq = panel->findChild<QWidget*>(QStringLiteral("lFreq"))) {
        freq->setToolTip(QStringLiteral("Click to type a new frequency in kHz (%1)")
                             .arg(nativeText(kFrequencyEntry)));
        freq->setAccessibleDescription(freq->toolTip());
    }
    shortcutOn(window, kFrequencyEntry, std::move(frequencyEntry));
}

}  // namespace kt6
