#include "console/panel/lamp.h"

#include <QPainter>
#include <QRadialGradient>

#include "console/colours.h"

namespace kt6 {

Lamp::Lamp(NamedColour colour, QWidget* parent) : QWidget(parent), colour_(colour) {
    setAttribute(Qt::WA_TranslucentBackground);
}

void Lamp::setColour(NamedColour colour) {
    if (colour == colour_) return;
    colour_ = colour;
    updateDescription();
    update();
}

void Lamp::describeAs(Description description) {
    description_ = std::move(description);
    setAccessibleName(description_.name);
    updateDescription();
}

void Lamp::updateDescription() {
    if (!description_.lit) return;
    const QString text = description_.name + (description_.lit(colour_) ? QStringLiteral(": on")
                                                                        : QStringLiteral(": off"));
    setAccessibleDescription(text);
    // Qt raises the name-changed event that lets a screen reader tell the change.
    if (description_.stateInName && accessibleName() != text) setAccessibleName(text);
}

bool Lamp::lit() const {
    return !description_.lit || description_.lit(colour_);
}

void Lamp::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    const QColor base = toQColor(colour_);
    p.setPen(QPen(QColor(20, 20, 20), 1));
    if (lit()) {
        // Lit: bright at its heart, as light from behind the glass.
        QRadialGradient glow(r.center() - QPointF(r.width() / 6, r.height() / 6), r.width() / 1.4);
        glow.setColorAt(0, base.lighter(160));
        glow.setColorAt(0.6, base);
        glow.setColorAt(1, base.darker(170));
        p.setBrush(glow);
        p.drawEllipse(r);
        return;
    }
    // Off: dark glass with the colour only hinted, and a small reflection from the room, so it
    // reads as a lamp that is out rather than one that glows.
    QRadialGradient glass(r.center(), r.width() / 1.6);
    glass.setColorAt(0, base.darker(260));
    glass.setColorAt(1, base.darker(420));
    p.setBrush(glass);
    p.drawEllipse(r);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 45));
    p.drawEllipse(QRectF(r.left() + r.width() * 0.22, r.top() + r.height() * 0.16, r.width() * 0.3,
                         r.height() * 0.24));
}

}  // namespace kt6
