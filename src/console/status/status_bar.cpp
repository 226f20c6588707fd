#include "console/status/status_bar.h"

#include <QAccessible>
#include <QLabel>

namespace kt6 {

ConsoleStatusBar::ConsoleStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("sbStatus");
    // The window has a fixed size: a grip would promise a resize that cannot happen.
    setSizeGripEnabled(false);
    setFixedHeight(kHeight);
    link_ = field("sbLink", 3);
    radio_ = field("sbRadio", 3);
    events_ = field("sbEvents", 4);
    show(events_, QStringLiteral("Events"), QString());
    setLink(QStringLiteral("No port open"), QStringLiteral("Choose a port in the Com port menu."));
    setRadio(QStringLiteral("No radio"), QString());
    events_->setToolTip(QStringLiteral("The latest thing to know, for %1 s")
                            .arg(std::chrono::seconds(kEventTime).count()));
    eventTimer_ = new QTimer(this);
    eventTimer_->setObjectName("tmEvents");
    eventTimer_->setSingleShot(true);
    // A screen reader reads the description: it goes with the text, or would tell a stale event.
    connect(eventTimer_, &QTimer::timeout, events_, [this] { clearEvent(); });
}

void ConsoleStatusBar::show(QLabel* field, const QString& caption, const QString& text) {
    if (field->text() != text) field->setText(text);
    const QString name = text.isEmpty() ? caption : caption + QStringLiteral(": ") + text;
    if (field->accessibleName() == name) return;
    field->setAccessibleName(name);
    // Told to assistive technology, so a screen reader can announce the new state.
    QAccessibleEvent changed(field, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void ConsoleStatusBar::clearEvent() {
    eventTimer_->stop();
    show(events_, QStringLiteral("Events"), QString());
    events_->setAccessibleDescription({});
}

QLabel* ConsoleStatusBar::field(const char* name, int stretch) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    // Long reasons are cut, not allowed to widen the fixed window; the tool tip has them whole.
    label->setMinimumWidth(40);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addWidget(label, stretch);
    return label;
}

void ConsoleStatusBar::setLink(const QString& text, const QString& tip) {
    show(link_, QStringLiteral("Link"), text);
    link_->setToolTip(tip);
    link_->setAccessibleDescription(tip);
}

void ConsoleStatusBar::setRadio(const QString& text, const QString& tip) {
    show(radio_, QStringLiteral("Radio"), text);
    radio_->setToolTip(tip);
    radio_->setAccessibleDescription(tip);
}

void ConsoleStatusBar::announce(const QString& text) {
    show(events_, QStringLiteral("Events"), text);
    events_->setAccessibleDescription(text);
    eventTimer_->start(kEventTime);
}

QString ConsoleStatusBar::linkText() const {
    return link_->text();
}
QString ConsoleStatusBar::radioText() const {
    return radio_->text();
}
QString ConsoleStatusBar::eventText() const {
    return events_->text();
}

}  // namespace kt6
