#include "console/status/status_bar.h"

#include <QAccessible>
#include <QGridLayout>
#include <QLabel>
#include <QRegularExpression>
#include <algorithm>

#include "console/accessibility.h"

namespace kt6 {

namespace {
constexpr int kMinimumFieldWidth = 40;

// "Calibrating: 26 s left" and "Calibrating: 25 s left" are one event.
QString shape(const QString& text) {
    static const QRegularExpression digits(QStringLiteral("[0-9]+"));
    return QString(text).replace(digits, QStringLiteral("#"));
}
}  // namespace

ConsoleStatusBar::ConsoleStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName("sbStatus");
    // The window has a fixed size: a grip would promise a resize that cannot happen.
    setSizeGripEnabled(false);
    setFixedHeight(kHeight);
    auto* fields = new QWidget(this);
    fields->setObjectName("sbFields");
    // The texts never widen the fixed window: the fields take the width the window has.
    fields->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* grid = new QGridLayout(fields);
    grid->setContentsMargins(2, 0, 2, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(0);
    link_ = field(fields, "sbLink");
    radio_ = field(fields, "sbRadio");
    events_ = field(fields, "sbEvents");
    makeAnnouncer(events_);
    // Link at the left and radio at the right, each as wide as its text: both are short when
    // all is well, and while a closed port's reason is long the radio mostly waits for the
    // controller. An event can be long whatever else is shown: it has the second row to itself.
    grid->addWidget(link_, 0, 0);
    grid->setColumnStretch(1, 1);
    grid->addWidget(radio_, 0, 2);
    grid->addWidget(events_, 1, 0, 1, 3);
    events_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    addWidget(fields, 1);
    showField(events_, QStringLiteral("Events"), QString());
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

void ConsoleStatusBar::showField(QLabel* field, const QString& caption, const QString& text) {
    if (field->text() != text) field->setText(text);
    const QString name = text.isEmpty() ? caption : caption + QStringLiteral(": ") + text;
    // Setting it tells assistive technology of the new state.
    if (field->accessibleName() == name) return;
    field->setAccessibleName(name);
    emit fieldRetold(field);
}

void ConsoleStatusBar::describe(QLabel* field, const QString& tip) {
    if (field->toolTip() != tip) field->setToolTip(tip);
    if (field->accessibleDescription() == tip) return;
    field->setAccessibleDescription(tip);
    emit fieldRetold(field);
}

void ConsoleStatusBar::clearEvent() {
    eventTimer_->stop();
    showField(events_, QStringLiteral("Events"), QString());
    if (events_->accessibleDescription().isEmpty()) return;
    events_->setAccessibleDescription({});
    emit fieldRetold(events_);
}

QLabel* ConsoleStatusBar::field(QWidget* row, const char* name) {
    auto* label = new QLabel(row);
    label->setObjectName(QString::fromLatin1(name));
    // As wide as its text while the row has room; a text longer than that is cut rather than
    // let widen the window, and the tool tip has the details.
    label->setMinimumWidth(kMinimumFieldWidth);
    label->setFixedHeight(kRowHeight);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Read by a screen reader as the state changes, never a stop for Tab.
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

void ConsoleStatusBar::setLink(const QString& text, const QString& tip) {
    showField(link_, QStringLiteral("Link"), text);
    // Should the row be short of room, the radio field gives way: the link is what the
    // operator looks for first.
    // (From the text itself: a label's size hint grows with its minimum and would never shrink.)
    const QMargins margins = link_->contentsMargins();
    const int needed = link_->fontMetrics().horizontalAdvance(text) + margins.left() +
                       margins.right() + 2 * link_->margin() + 2;
    link_->setMinimumWidth(std::max(kMinimumFieldWidth, needed));
    describe(link_, tip);
}

void ConsoleStatusBar::setRadio(const QString& text, const QString& tip) {
    showField(radio_, QStringLiteral("Radio"), text);
    describe(radio_, tip);
}

void ConsoleStatusBar::announce(const QString& text) {
    const bool update =
        !text.isEmpty() && text != events_->text() && shape(text) == shape(events_->text());
    showField(events_, QStringLiteral("Events"), text);
    if (events_->accessibleDescription() != text) {
        events_->setAccessibleDescription(text);
        emit fieldRetold(events_);
    }
    eventTimer_->start(kEventTime);
    if (text.isEmpty() || update) return;
    announceNow(events_);
    emit spoken(text);
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
