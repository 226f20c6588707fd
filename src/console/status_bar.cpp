#include "console/status_bar.h"

#include <QLabel>

namespace kt6 {

ConsoleStatusBar::ConsoleStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("sbStatus");
    // The window has a fixed size: a grip would promise a resize that cannot happen.
    setSizeGripEnabled(false);
    setFixedHeight(kHeight);
    link_ = field("sbLink", QStringLiteral("Link"), 3);
    radio_ = field("sbRadio", QStringLiteral("Radio"), 3);
    events_ = field("sbEvents", QStringLiteral("Events"), 4);
    setLink(QStringLiteral("No port open"), QStringLiteral("Choose a port in the Com port menu."));
    setRadio(QStringLiteral("No radio"), QString());
    events_->setToolTip(QStringLiteral("The latest thing to know, for %1 s")
                            .arg(std::chrono::seconds(kEventTime).count()));
    eventTimer_ = new QTimer(this);
    eventTimer_->setObjectName("tmEvents");
    eventTimer_->setSingleShot(true);
    // A screen reader reads the description: it goes with the text, or would tell a stale event.
    connect(eventTimer_, &QTimer::timeout, events_, [this] {
        events_->clear();
        events_->setAccessibleDescription({});
    });
}

QLabel* ConsoleStatusBar::field(const char* name, const QString& accessibleName, int stretch) {
    auto* label = new QLabel(this);
    label->setObjectName(QString::fromLatin1(name));
    label->setAccessibleName(accessibleName);
    // Long reasons are cut, not allowed to widen the fixed window; the tool tip has them whole.
    label->setMinimumWidth(40);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addWidget(label, stretch);
    return label;
}

void ConsoleStatusBar::setLink(const QString& text, const QString& tip) {
    if (link_->text() != text) link_->setText(text);
    link_->setToolTip(tip);
    link_->setAccessibleDescription(tip);
}

void ConsoleStatusBar::setRadio(const QString& text, const QString& tip) {
    if (radio_->text() != text) radio_->setText(text);
    radio_->setToolTip(tip);
    radio_->setAccessibleDescription(tip);
}

void ConsoleStatusBar::announce(const QString& text) {
    events_->setText(text);
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
