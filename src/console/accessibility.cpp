#include "console/accessibility.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include "console/panel/key_button.h"

namespace kt6 {
namespace {

constexpr const char* kInert = "kt6InertForAssistiveTechnology";
// On a widget that sorts what it lists (inert helpers, lit faces): the role its own interface
// had, which it keeps.
constexpr const char* kSorts = "kt6SortsItsChildren";
constexpr const char* kAnnounces = "kt6Announces";

QAccessible::Role roleOf(const QWidget* w) {
    if (qobject_cast<const QCheckBox*>(w)) return QAccessible::CheckBox;
    if (qobject_cast<const QAbstractButton*>(w)) return QAccessible::Button;
    if (qobject_cast<const QLabel*>(w)) return QAccessible::StaticText;
    return QAccessible::Client;
}

// A helper that is never on screen: nothing to read, nothing to press, nothing under it.
class InertAccessible : public QAccessibleWidget {
  public:
    explicit InertAccessible(QWidget* w) : QAccessibleWidget(w, roleOf(w)) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        s.offscreen = true;
        s.focusable = false;
        s.focused = false;
        return s;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QStringList actionNames() const override { return {}; }
    void doAction(const QString&) override {}
};

// A key and its lit face are one key to assistive technology: the lit face stands for both
// only while it is shown and the key is not (under a function screen); otherwise the key does.
bool standsForBoth(const KeyButton* face) {
    const KeyButton* key = face->litFaceOf();
    return key && face->isVisible() && !key->isVisible();
}
// A lamp laid over keys that lies on a shown key: the key, named as lit, stands for both.
bool liesOnAShownKey(const KeyButton* lamp) {
    if (!lamp->lightsKeyUnder() || !lamp->parentWidget()) return false;
    for (const KeyButton* key :
         lamp->parentWidget()->findChildren<KeyButton*>(Qt::FindDirectChildrenOnly)) {
        if (key != lamp && !key->lightsKeyUnder() && !key->isHidden() && key->pos() == lamp->pos())
            return true;
    }
    return false;
}
bool standsAside(const KeyButton* face) {
    return (face->litFaceOf() && !standsForBoth(face)) || liesOnAShownKey(face);
}

// A widget that lists only what assistive technology should meet: not its inert helpers, and
// of a key and its lit face the one standing for both.
class HolderAccessible : public QAccessibleWidget {
  public:
    HolderAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    int childCount() const override { return static_cast<int>(listed().size()); }
    QAccessibleInterface* child(int index) const override {
        const QList<QWidget*> children = listed();
        if (index < 0 || index >= children.size()) return nullptr;
        return QAccessible::queryAccessibleInterface(children[index]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        if (!child) return -1;
        return static_cast<int>(listed().indexOf(qobject_cast<QWidget*>(child->object())));
    }

  private:
    QList<QWidget*> listed() const {
        QList<const QWidget*> litByFace;
        for (const KeyButton* key :
             widget()->findChildren<KeyButton*>(Qt::FindDirectChildrenOnly)) {
            if (standsForBoth(key)) litByFace << key->litFaceOf();
        }
        QList<QWidget*> out;
        for (QObject* o : widget()->children()) {
            auto* w = qobject_cast<QWidget*>(o);
            // As the toolkit lists children: no windows, no menus.
            if (!w || w->isWindow() || qobject_cast<QMenu*>(w) || w->property(kInert).toBool())
                continue;
            if (const auto* key = qobject_cast<KeyButton*>(w); key && standsAside(key)) continue;
            if (litByFace.contains(w)) continue;
            if (covered(w)) continue;
            out << w;
        }
        return out;
    }
    // A sibling stacked above it and shown covers it whole: an operator cannot see it, so a
    // screen reader does not meet it either.
    bool covered(const QWidget* w) const {
        const QObjectList& siblings = widget()->children();
        for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size();
             ++i) {
            const auto* above = qobject_cast<const QWidget*>(siblings[i]);
            if (!above || above->isWindow() || !above->isVisibleTo(widget()) ||
                above->property(kInert).toBool())
                continue;
            // A lit face only stands in for its key, a lamp only marks the key it lies on.
            if (const auto* face = qobject_cast<const KeyButton*>(above);
                face && (face->litFaceOf() || face->lightsKeyUnder()))
                continue;
            if (above->geometry().contains(w->geometry())) return true;
        }
        return false;
    }
};

// A front-panel key: pressed as a click presses it, and only while an operator could click it.
class KeyAccessible : public QAccessibleWidget {
  public:
    explicit KeyAccessible(KeyButton* key) : QAccessibleWidget(key, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.pressed = key()->isDown();
        if (standsAside()) s.invisible = true;
        return s;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (pressable()) names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& action) override {
        if (action == pressAction()) {
            if (pressable()) key()->click();
            return;
        }
        QAccessibleWidget::doAction(action);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

  private:
    KeyButton* key() const { return static_cast<KeyButton*>(widget()); }
    bool standsAside() const { return kt6::standsAside(key()); }
    bool pressable() const { return key()->isVisible() && key()->isEnabled() && !standsAside(); }
};

// A notification shown anew is what a screen reader reads out unasked (the toolkit's bridge
// tells it "showing"); its name is what it says: the accessible name given it, else a label's
// text.
class AnnouncerAccessible : public QAccessibleWidget {
  public:
    explicit AnnouncerAccessible(QWidget* w) : QAccessibleWidget(w, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) return QAccessibleWidget::text(t);
        if (!widget()->accessibleName().isEmpty()) return widget()->accessibleName();
        const auto* label = qobject_cast<const QLabel*>(widget());
        return label ? label->text() : QString();
    }
};

QAccessibleInterface* consoleInterface(const QString& className, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w) return nullptr;
    if (w->property(kInert).toBool()) return new InertAccessible(w);
    if (w->property(kAnnounces).toBool()) return new AnnouncerAccessible(w);
    if (const QVariant role = w->property(kSorts); role.isValid())
        return new HolderAccessible(w, static_cast<QAccessible::Role>(role.toInt()));
    if (className == QLatin1String("kt6::KeyButton")) {
        return new KeyAccessible(static_cast<KeyButton*>(w));
    }
    return nullptr;
}

}  // namespace

void installConsoleAccessibility() {
    // Installing twice is harmless: the same factory is only listed once.
    QAccessible::installFactory(consoleInterface);
}

namespace {

// An interface made before the widget's part was known (a caption set while it was built
// makes one) goes; the next question gets the right one.
void forgetInterface(QAccessibleInterface* made) {
    if (made) QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void sortChildren(QWidget* holder) {
    if (holder->property(kSorts).isValid()) return;
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(holder);
    holder->setProperty(kSorts, static_cast<int>(made ? made->role() : QAccessible::Client));
    forgetInterface(made);
}

}  // namespace

void keepFromAssistiveTechnology(QWidget* widget) {
    QList<QWidget*> all = widget->findChildren<QWidget*>();
    all.prepend(widget);
    for (QWidget* w : all) {
        QAccessibleInterface* made = QAccessible::queryAccessibleInterface(w);
        w->setProperty(kInert, true);
        if (!dynamic_cast<InertAccessible*>(made)) forgetInterface(made);
    }
    if (QWidget* holder = widget->parentWidget()) sortChildren(holder);
}

void makeAnnouncer(QWidget* widget) {
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
    widget->setProperty(kAnnounces, true);
    if (!dynamic_cast<AnnouncerAccessible*>(made)) forgetInterface(made);
}

void announceNow(QWidget* announcer) {
    QAccessibleEvent shown(announcer, QAccessible::ObjectShow);
    QAccessible::updateAccessibility(&shown);
}

void listLitFacesAsTheirKeys(QWidget* panel) {
    sortChildren(panel);
}

void listOnlyWhatShows(QWidget* holder) {
    sortChildren(holder);
}

}  // namespace kt6
