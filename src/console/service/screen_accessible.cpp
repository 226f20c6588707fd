#include "console/service/screen_accessible.h"

#include <QAccessibleWidget>
#include <QLabel>
#include <QWidget>

namespace kt6 {

namespace {

constexpr const char* kRole = "kt6ScreenRole";

// The lines a sighted operator reads on the screen, top to bottom.
QStringList shownLines(const QWidget* screen) {
    QList<const QLabel*> labels;
    for (const QLabel* l : screen->findChildren<QLabel*>()) {
        if (l->isVisibleTo(screen) && !l->text().trimmed().isEmpty()) labels << l;
    }
    std::stable_sort(labels.begin(), labels.end(), [screen](const QLabel* a, const QLabel* b) {
        return a->mapTo(screen, QPoint()).y() < b->mapTo(screen, QPoint()).y();
    });
    QStringList lines;
    for (const QLabel* l : labels) lines << l->text().simplified();
    return lines;
}

class ScreenAccessible : public QAccessibleWidget {
  public:
    ScreenAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name && t != QAccessible::Description)
            return QAccessibleWidget::text(t);
        const QWidget* w = widget();
        QStringList lines = shownLines(w);
        const QString name = w->accessibleName().isEmpty()
                                 ? (lines.isEmpty() ? QString() : lines.takeFirst())
                                 : w->accessibleName();
        if (t == QAccessible::Name) return name;
        if (!w->accessibleDescription().isEmpty()) return w->accessibleDescription();
        lines.removeAll(name);
        return lines.join(QLatin1Char(' '));
    }
};

QAccessibleInterface* screenInterface(const QString&, QObject* object) {
    auto* w = qobject_cast<QWidget*>(object);
    if (!w) return nullptr;
    const QVariant role = w->property(kRole);
    if (!role.isValid()) return nullptr;
    return new ScreenAccessible(w, static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void describeScreen(QWidget* screen, QAccessible::Role role) {
    // Installing twice lists the factory once.
    QAccessible::installFactory(screenInterface);
    screen->setProperty(kRole, static_cast<int>(role));
    // An interface made before the role was known goes; the next question gets this one.
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(screen);
        made && !dynamic_cast<ScreenAccessible*>(made)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

}  // namespace kt6
