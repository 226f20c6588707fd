#include "icon_painter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

#include <algorithm>

namespace kt6::assets {

namespace {

constexpr double kUnit = 256.0;  // the icon is laid out on a 256-unit square

const QColor kFaceTop(58, 63, 68);
const QColor kFaceBottom(22, 25, 28);
const QColor kRim(110, 116, 122);
const QColor kElement(226, 230, 234);
const QColor kAccent(255, 150, 40);  // maker's orange, as on the front panel
const QColor kSignal(96, 214, 96);   // the lime of the controller's lamps

// Units for a line of about `px` pixels at the smallest size, so thin lines do not vanish.
double stroke(double units, int size, double minPx = 1.5) {
    return std::max(units, minPx * kUnit / size);
}

}  // namespace

QImage paintAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / kUnit, size / kUnit);

    // The face: a rounded square with a light rim, as the controller's panel.
    const QRectF face(12, 12, 232, 232);
    QLinearGradient shade(face.topLeft(), face.bottomLeft());
    shade.setColorAt(0, kFaceTop);
    shade.setColorAt(1, kFaceBottom);
    p.setPen(QPen(kRim, stroke(4, size, 1.0)));
    p.setBrush(shade);
    p.drawRoundedRect(face, 44, 44);

    // The antenna from above: boom, reflector, driven element, two directors, pointing right.
    const double boomY = 128;
    const QPen boomPen(kElement, stroke(10, size), Qt::SolidLine, Qt::RoundCap);
    p.setPen(boomPen);
    p.drawLine(QPointF(40, boomY), QPointF(178, boomY));
    struct Element {
        double x, half;
        bool driven;
    };
    constexpr Element kElements[] = {
        {50, 84, false}, {88, 74, true}, {128, 64, false}, {166, 56, false}};
    for (const auto& e : kElements) {
        p.setPen(QPen(e.driven ? kAccent : kElement, stroke(e.driven ? 14 : 11, size),
                      Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(e.x, boomY - e.half), QPointF(e.x, boomY + e.half));
    }

    // The beam leaving the front: two arcs ahead of the last director.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kSignal, stroke(9, size), Qt::SolidLine, Qt::RoundCap));
    for (const double r : {20.0, 40.0}) {
        const QRectF box(184 - r, boomY - r, 2 * r, 2 * r);
        p.drawArc(box, -40 * 16, 80 * 16);
    }
    p.end();
    return img;
}

}  // namespace kt6::assets
