#include "key_painter.h"

#include <QConicalGradient>
#include <QLinearGradient>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <numbers>

namespace kt6::assets {

namespace {

QRectF circle(QPointF c, double r) {
    return {c.x() - r, c.y() - r, 2 * r, 2 * r};
}

// Soft shadow cast downwards by the key onto the panel, so the key stands proud of it.
void paintDropShadow(QPainter& p, QPointF c, double r) {
    const QPointF sc = c + QPointF(0, 1.5);
    QRadialGradient g(sc, r + 2.5);
    g.setColorAt(0.0, QColor(0, 0, 0, 150));
    g.setColorAt(r / (r + 2.5), QColor(0, 0, 0, 110));
    g.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(circle(sc, r + 2.5));
}

// Turned chrome ring: a conical gradient gives the lathe sheen of a polished bezel.
void paintChromeRing(QPainter& p, QPointF c, double r) {
    QConicalGradient g(c, 135);
    g.setColorAt(0.00, QColor(250, 250, 252));
    g.setColorAt(0.12, QColor(150, 154, 160));
    g.setColorAt(0.30, QColor(215, 218, 222));
    g.setColorAt(0.50, QColor(70, 73, 78));
    g.setColorAt(0.68, QColor(190, 193, 198));
    g.setColorAt(0.85, QColor(110, 114, 120));
    g.setColorAt(1.00, QColor(250, 250, 252));
    p.setPen(QPen(QColor(20, 22, 25), 0.8));
    p.setBrush(g);
    p.drawEllipse(circle(c, r));
}

void paintDarkCap(QPainter& p, QPointF c, double r) {
    // The recess between ring and cap.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(12, 13, 15));
    p.drawEllipse(circle(c, r));

    const double cr = r - 1.3;
    QRadialGradient g(c + QPointF(-cr * 0.35, -cr * 0.45), cr * 1.5);
    g.setColorAt(0.0, QColor(104, 110, 118));
    g.setColorAt(0.45, QColor(52, 56, 62));
    g.setColorAt(1.0, QColor(18, 20, 23));
    p.setBrush(g);
    p.drawEllipse(circle(c, cr));

    // Specular highlight of the convex cap.
    QRadialGradient h(c + QPointF(-cr * 0.25, -cr * 0.5), cr * 0.6);
    h.setColorAt(0.0, QColor(255, 255, 255, 90));
    h.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(h);
    p.drawEllipse(circle(c + QPointF(-cr * 0.25, -cr * 0.5), cr * 0.6));
}

void paintLitCap(QPainter& p, QPointF c, double r) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(90, 30, 0));
    p.drawEllipse(circle(c, r));

    const double cr = r - 1.3;
    QRadialGradient g(c + QPointF(-cr * 0.2, -cr * 0.25), cr * 1.25);
    g.setColorAt(0.0, QColor(255, 246, 200));
    g.setColorAt(0.25, QColor(255, 200, 90));
    g.setColorAt(0.65, QColor(255, 135, 20));
    g.setColorAt(1.0, QColor(190, 70, 0));
    p.setBrush(g);
    p.drawEllipse(circle(c, cr));

    QRadialGradient h(c + QPointF(-cr * 0.25, -cr * 0.5), cr * 0.55);
    h.setColorAt(0.0, QColor(255, 255, 255, 150));
    h.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.setBrush(h);
    p.drawEllipse(circle(c + QPointF(-cr * 0.25, -cr * 0.5), cr * 0.55));
}

// Light spilling from a lit key over its bezel, kept inside the key's control.
void paintGlow(QPainter& p, QPointF c, double inner, double outer, QColor colour) {
    QRadialGradient g(c, outer);
    QColor edge = colour;
    edge.setAlpha(0);
    g.setColorAt(0.0, colour);
    g.setColorAt(inner / outer, colour);
    g.setColorAt(1.0, edge);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawEllipse(circle(c, outer));
}

void paintPowerSymbol(QPainter& p, QPointF c, double s, QColor colour, double width) {
    QPen pen(colour, width, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    // The arc opens upwards, 60 degrees either side of the bar.
    p.drawArc(circle(c + QPointF(0, s * 0.08), s), (90 + 35) * 16, (360 - 70) * 16);
    p.drawLine(c + QPointF(0, -s * 1.05), c + QPointF(0, -s * 0.1));
}

}  // namespace

void paintRoundKey(QPainter& p, QPointF c, double radius, KeyCap cap) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (cap == KeyCap::Lit) paintGlow(p, c, radius, radius + 4.0, QColor(255, 150, 30, 150));
    paintDropShadow(p, c, radius);
    paintChromeRing(p, c, radius);
    const double capRadius = radius - 2.6;
    if (cap == KeyCap::Dark)
        paintDarkCap(p, c, capRadius);
    else
        paintLitCap(p, c, capRadius);
    p.restore();
}

void paintPowerKey(QPainter& p, QPointF c, double radius, PowerState state) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    paintDropShadow(p, c, radius);
    paintChromeRing(p, c, radius);

    // Ring lamp: a groove around the cap that glows red while the controller is on.
    const double lampR = radius - 2.6;
    p.setPen(Qt::NoPen);
    if (state == PowerState::On) {
        QRadialGradient g(c, lampR);
        g.setColorAt(0.80, QColor(255, 70, 50));
        g.setColorAt(0.92, QColor(255, 190, 170));
        g.setColorAt(1.0, QColor(200, 20, 10));
        p.setBrush(g);
    } else {
        p.setBrush(QColor(45, 12, 12));
    }
    p.drawEllipse(circle(c, lampR));

    const double capR = lampR - 2.2;
    QRadialGradient g(c + QPointF(-capR * 0.35, -capR * 0.45), capR * 1.5);
    g.setColorAt(0.0, QColor(236, 238, 240));
    g.setColorAt(0.5, QColor(176, 180, 186));
    g.setColorAt(1.0, QColor(108, 112, 118));
    p.setPen(QPen(QColor(40, 42, 46, 160), 0.8));
    p.setBrush(g);
    p.drawEllipse(circle(c, capR));

    const double s = capR * 0.52;
    if (state == PowerState::On) {
        paintGlow(p, c, s * 0.6, s * 1.6, QColor(255, 60, 40, 70));
        paintPowerSymbol(p, c, s, QColor(215, 20, 15), 3.0);
    } else {
        // Engraved look: a light edge under the dark stroke.
        paintPowerSymbol(p, c + QPointF(0, 0.8), s, QColor(255, 255, 255, 120), 3.0);
        paintPowerSymbol(p, c, s, QColor(38, 40, 44), 3.0);
    }
    p.restore();
}

void paintLampBezel(QPainter& p, const QRectF& lamp) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer = lamp.adjusted(-3.5, -3.5, 3.5, 3.5);
    QLinearGradient ring(outer.topLeft(), outer.bottomLeft());
    ring.setColorAt(0.0, QColor(18, 19, 22));
    ring.setColorAt(1.0, QColor(150, 154, 160));
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawEllipse(outer);
    QLinearGradient well(lamp.topLeft(), lamp.bottomLeft());
    well.setColorAt(0.0, QColor(8, 8, 9));
    well.setColorAt(1.0, QColor(40, 42, 46));
    p.setBrush(well);
    p.drawEllipse(lamp.adjusted(-1.2, -1.2, 1.2, 1.2));
    p.restore();
}

QImage roundKeyGlyph(QSize size, double radius, KeyCap cap) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintRoundKey(p, QPointF(size.width() / 2.0, size.height() / 2.0), radius, cap);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

QImage powerKeyGlyph(QSize size, double radius, PowerState state) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paintPowerKey(p, QPointF(size.width() / 2.0, size.height() / 2.0), radius, state);
    p.end();
    return img.convertToFormat(QImage::Format_ARGB32);
}

}  // namespace kt6::assets
