#include "console/panel/keyboard.h"

#include <QAbstractButton>
#include <QEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QWidget>
#include <algorithm>

#include "console/panel/front_keys.h"
#include "console/panel/key_button.h"
#include "console/panel/lamp.h"

namespace kt6 {
namespace {

// In the order of FrontPanelControls::bound.
const QKeySequence kShortcuts[] = {
    QKeySequence(Qt::CTRL | Qt::Key_1),  QKeySequence(Qt::CTRL | Qt::Key_2),
    QKeySequence(Qt::CTRL | Qt::Key_3),  QKeySequence(Qt::CTRL | Qt::Key_4),
    QKeySequence(Qt::CTRL | Qt::Key_5),  QKeySequence(Qt::CTRL | Qt::Key_6),
    QKeySequence(Qt::CTRL | Qt::Key_7),  QKeySequence(Qt::CTRL | Qt::Key_8),
    QKeySequence(Qt::CTRL | Qt::Key_Up), QKeySequence(Qt::CTRL | Qt::Key_Down),
    QKeySequence(Qt::CTRL | Qt::Key_D),  QKeySequence(Qt::CTRL | Qt::Key_P),
};
constexpr std::size_t kPowerKey = 11;

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

// Keeps the band lamp's name on the band it lights: "Band lamp: 20m", or "Band lamp" while it
// lights none. It follows the lamp's moves and showing, whoever makes them.
class BandLampName : public QObject {
  public:
    BandLampName(KeyButton* lamp, std::array<KeyButton*, 8> bandKeys)
        : QObject(lamp), lamp_(lamp), bandKeys_(bandKeys) {
        lamp->installEventFilter(this);
        rename();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type t = event->type();
        if (watched == lamp_ &&
            (t == QEvent::Move || t == QEvent::ShowToParent || t == QEvent::HideToParent))
            rename();
        return false;
    }

  private:
    void rename() {
        QString name = keyName(lamp_->tag());
        if (!lamp_->isHidden()) {
            for (const KeyButton* key : bandKeys_) {
                if (key && key->pos() == lamp_->pos()) {
                    name += QStringLiteral(": ") + bandOfKey(key->tag());
                    break;
                }
            }
        }
        if (lamp_->accessibleName() != name) lamp_->setAccessibleName(name);
    }

    KeyButton* lamp_;
    std::array<KeyButton*, 8> bandKeys_;
};

QShortcut* shortcutOn(QWidget* window, const QKeySequence& keys, std::function<void()> action) {
    auto* s = new QShortcut(keys, window);
    s->setContext(Qt::WindowShortcut);
    QObject::connect(s, &QShortcut::activated, window, std::move(action));
    return s;
}

}  // namespace

void bindFrontPanel(QWidget* window, const FrontPanelControls& panel,
                    std::function<void()> frequencyEntry) {
    for (KeyButton* key : panel.keys) describe(key, {});
    for (std::size_t i = 0; i < panel.bound.size(); ++i) {
        KeyButton* key = panel.bound[i];
        if (!key) continue;
        describe(key, kShortcuts[i]);
        KeyButton* on = i == kPowerKey ? panel.powerOn : nullptr;
        shortcutOn(window, kShortcuts[i], [key, on] {
            // The lit power key lies over the dark one while the display is on; either
            // sends the same code, the one on top is the one a click would hit.
            if (on && !on->isHidden()) {
                on->click();
                return;
            }
            if (!key->isHidden()) key->click();
        });
    }
    if (panel.powerOn) describe(panel.powerOn, kShortcuts[kPowerKey]);
    if (panel.bandLamp) {
        // A screen reader meets the lit band key itself, "20m band, lit", not the lamp over it.
        panel.bandLamp->setLightsKeyUnder(true);
        panel.bandLamp->setToolTip(QStringLiteral("The lit band key: the band in use"));
        std::array<KeyButton*, 8> bandKeys{};
        std::copy_n(panel.bound.begin(), bandKeys.size(), bandKeys.begin());
        new BandLampName(panel.bandLamp, bandKeys);
    }

    const auto shows = [](NamedColour lit) { return [lit](NamedColour c) { return c == lit; }; };
    const Lamp::Description kLamps[] = {
        {QString::fromUtf8("180\u00B0"), shows(NamedColour::clLime)},
        {QStringLiteral("Bi-dir."), shows(NamedColour::clRed)},
        // While the elements move it blinks between two colours; at rest it is grey.
        {QStringLiteral("Moving"), [](NamedColour c) { return c != NamedColour::clGray; }},
        // The link lamps flicker with every frame: a name changing that often would only
        // drown what a screen reader has to say.
        {QStringLiteral("Tx"), shows(NamedColour::clLime), false},
        {QStringLiteral("Rx"), shows(NamedColour::clAqua), false}};
    for (std::size_t i = 0; i < panel.lamps.size(); ++i) {
        if (Lamp* lamp = panel.lamps[i]) lamp->describeAs(kLamps[i]);
    }

    if (QWidget* freq = panel.frequency) {
        freq->setToolTip(QStringLiteral("Click to type a new frequency in kHz (%1)")
                             .arg(nativeText(kFrequencyEntry)));
        freq->setAccessibleDescription(freq->toolTip());
    }
    shortcutOn(window, kFrequencyEntry, std::move(frequencyEntry));
}

}  // namespace kt6
