#include "panel_painter.h"

#include "front_layout.h"
#include "key_painter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace kt6::assets {

namespace {

const QColor kSilk(232, 228, 214);     // silk-screen ink
const QColor kSilkDim(170, 168, 160);  // secondary legends
const QColor kAccent(255, 150, 40);    // maker's orange

QPointF centreOf(const QRect& r) {
    return QRectF(r).center();
}

QFont silkFont(double pixelSize, bool bold = true, double spacing = 0.6) {
    QFont f("DejaVu Sans");
    f.setPixelSize(static_cast<int>(pixelSize));
    f.setBold(bold);
    f.setStretch(QFont::SemiCondensed);
    f.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

void silkText(QPainter& p, const QRectF& r, const QString& text, const QFont& font,
              QColor colour = kSilk, int align = Qt::AlignCenter) {
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, align, text);
}

// Brushed finish: horizontally smeared noise, multiplied into the anodised face.
QImage brushedTexture(QSize size, std::uint32_t seed, double strength) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    QImage tex(size, QImage::Format_ARGB32_Premultiplied);
    const int w = size.width();
    std::vector<double> row(static_cast<std::size_t>(w));
    for (int y = 0; y < size.height(); ++y) {
        const double rowShade = noise(rng) * 0.35;
        for (auto& v : row) v = noise(rng);
        // Two passes of a running mean stretch the grain along the brushing direction.
        for (int pass = 0; pass < 2; ++pass) {
            std::vector<double> out(row.size());
            const int k = 9;
            double sum = 0;
            for (int x = -k; x <= k; ++x)
                sum += row[static_cast<std::size_t>(std::clamp(x, 0, w - 1))];
            for (int x = 0; x < w; ++x) {
                out[static_cast<std::size_t>(x)] = sum / (2 * k + 1);
                sum += row[static_cast<std::size_t>(std::min(x + k + 1, w - 1))];
                sum -= row[static_cast<std::size_t>(std::max(x - k, 0))];
            }
            row = out;
        }
        auto* line = reinterpret_cast<QRgb*>(tex.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const double v = 128.0 + strength * (row[static_cast<std::size_t>(x)] * 2.6 + rowShade);
            const int g = std::clamp(static_cast<int>(std::lround(v)), 0, 255);
            line[x] = qRgb(g, g, g);
        }
    }
    return tex;
}

void paintFace(QPainter& p) {
    const QRectF face(0, 0, kPanelSize.width(), kPanelSize.height());
    QLinearGradient g(face.topLeft(), face.bottomLeft());
    g.setColorAt(0.0, QColor(66, 71, 78));
    g.setColorAt(0.5, QColor(50, 54, 60));
    g.setColorAt(1.0, QColor(38, 41, 46));
    p.fillRect(face, g);

    // A broad sheen from the upper left, as a lamp over the operating desk would give.
    QRadialGradient sheen(QPointF(180, -60), 520);
    sheen.setColorAt(0.0, QColor(255, 255, 255, 38));
    sheen.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(face, sheen);

    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Overlay);
    p.drawImage(0, 0, brushedTexture(kPanelSize, 0x6b74u, 7.0));
    p.restore();

    // Front bevel of the enclosure: lit top and left edges, shaded bottom and right.
    p.setPen(QPen(QColor(255, 255, 255, 70), 1));
    p.drawLine(QPointF(0.5, 0.5), QPointF(face.width(), 0.5));
    p.drawLine(QPointF(0.5, 0.5), QPointF(0.5, face.height()));
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    p.drawLine(QPointF(1.5, 1.5), QPointF(face.width(), 1.5));
    p.setPen(QPen(QColor(0, 0, 0, 120), 1));
    p.drawLine(QPointF(0, face.height() - 0.5), QPointF(face.width(), face.height() - 0.5));
    p.drawLine(QPointF(face.width() - 0.5, 0), QPointF(face.width() - 0.5, face.height()));
}

void paintScrew(QPainter& p, QPointF c) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient well(c, 7.5);
    well.setColorAt(0.7, QColor(0, 0, 0, 120));
    well.setColorAt(1.0, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(well);
    p.drawEllipse(c, 7.5, 7.5);
    QRadialGradient head(c + QPointF(-1.8, -2.2), 7.5);
    head.setColorAt(0.0, QColor(240, 242, 245));
    head.setColorAt(0.6, QColor(150, 154, 160));
    head.setColorAt(1.0, QColor(80, 83, 88));
    p.setBrush(head);
    p.setPen(QPen(QColor(25, 26, 28), 0.7));
    p.drawEllipse(c, 5.2, 5.2);
    // Cross recess, turned a little as screws are never aligned.
    p.translate(c);
    p.rotate(23);
    p.setPen(QPen(QColor(40, 42, 46), 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(-3.2, 0), QPointF(3.2, 0));
    p.drawLine(QPointF(0, -3.2), QPointF(0, 3.2));
    p.setPen(QPen(QColor(255, 255, 255, 90), 0.6));
    p.drawLine(QPointF(-3.0, 0.9), QPointF(3.0, 0.9));
    p.restore();
}

// A panel cut-out sunk into the face: shadow on the upper edge, light on the lower one.
void paintRecess(QPainter& p, const QRectF& r, double radius, QColor floor) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient edge(r.topLeft(), r.bottomLeft());
    edge.setColorAt(0.0, QColor(10, 11, 13));
    edge.setColorAt(1.0, QColor(120, 125, 132));
    p.setPen(Qt::NoPen);
    p.setBrush(edge);
    p.drawRoundedRect(r, radius, radius);
    QLinearGradient in(r.topLeft(), r.bottomLeft());
    in.setColorAt(0.0, floor.darker(160));
    in.setColorAt(0.25, floor);
    in.setColorAt(1.0, floor.lighter(115));
    p.setBrush(in);
    p.drawRoundedRect(r.adjusted(1.2, 1.6, -1.2, -1.0), radius - 1, radius - 1);
    p.restore();
}

void paintVentSlots(QPainter& p, double x, double top, double bottom) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    for (double y = top; y + 4 <= bottom; y += 11) {
        const QRectF slot(x, y, 30, 4.5);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 45));
        p.drawRoundedRect(slot.translated(0, 1.0), 2.2, 2.2);
        p.setBrush(QColor(6, 7, 8));
        p.drawRoundedRect(slot, 2.2, 2.2);
    }
    p.restore();
}

void paintDisplayWindow(QPainter& p) {
    const QRectF win = QRectF(kDisplay).adjusted(-9, -9, 9, 9);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Black moulded bezel, stepping down to the glass.
    paintRecess(p, win, 7, QColor(28, 30, 33));
    QRectF bezel = QRectF(kDisplay).adjusted(-4, -4, 4, 4);
    QLinearGradient b(bezel.topLeft(), bezel.bottomLeft());
    b.setColorAt(0.0, QColor(0, 0, 0));
    b.setColorAt(1.0, QColor(70, 74, 80));
    p.setPen(Qt::NoPen);
    p.setBrush(b);
    p.drawRoundedRect(bezel, 3, 3);
    // The glass itself, dark with a faint reflection; the console's display covers it.
    const QRectF glass(kDisplay);
    QLinearGradient gl(glass.topLeft(), glass.bottomRight());
    gl.setColorAt(0.0, QColor(36, 48, 40));
    gl.setColorAt(1.0, QColor(14, 20, 16));
    p.setBrush(gl);
    p.drawRect(glass);
    QLinearGradient refl(glass.topLeft(), glass.bottomLeft());
    refl.setColorAt(0.0, QColor(255, 255, 255, 40));
    refl.setColorAt(0.4, QColor(255, 255, 255, 0));
    p.setBrush(refl);
    p.drawRect(glass);
    p.restore();
}

void paintMakerPlate(QPainter& p) {
    const QRectF plate(378, 10, 228, 58);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    // Drop shadow of the raised plate.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRoundedRect(plate.translated(0, 2), 4, 4);
    QLinearGradient g(plate.topLeft(), plate.bottomLeft());
    g.setColorAt(0.0, QColor(206, 210, 214));
    g.setColorAt(0.5, QColor(168, 172, 178));
    g.setColorAt(1.0, QColor(140, 144, 150));
    p.setBrush(g);
    p.setPen(QPen(QColor(30, 32, 35), 1));
    p.drawRoundedRect(plate, 4, 4);
    p.save();
    p.setClipRect(plate.adjusted(1, 1, -1, -1));
    p.setCompositionMode(QPainter::CompositionMode_Overlay);
    p.drawImage(plate.topLeft(), brushedTexture(plate.size().toSize(), 0x91u, 16.0));
    p.restore();
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.drawLine(plate.topLeft() + QPointF(4, 1), plate.topRight() + QPointF(-4, 1));

    // Engraved maker name: dark letters with a light lower edge.
    QFont name("DejaVu Sans");
    name.setPixelSize(27);
    name.setBold(true);
    name.setItalic(true);
    name.setLetterSpacing(QFont::AbsoluteSpacing, 0.5);
    const QRectF nameRect(plate.left() + 16, plate.top() + 4, 150, 34);
    p.setFont(name);
    p.setPen(QColor(255, 255, 255, 150));
    p.drawText(nameRect.translated(0, 1), Qt::AlignLeft | Qt::AlignVCenter, "SkarNel");
    p.setPen(QColor(28, 30, 34));
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, "SkarNel");

    // Model badge in the maker's orange.
    const QRectF badge(plate.right() - 66, plate.top() + 9, 54, 24);
    QLinearGradient bg(badge.topLeft(), badge.bottomLeft());
    bg.setColorAt(0.0, kAccent.lighter(115));
    bg.setColorAt(1.0, kAccent.darker(125));
    p.setPen(QPen(QColor(90, 40, 0), 0.8));
    p.setBrush(bg);
    p.drawRoundedRect(badge, 3, 3);
    QFont model("DejaVu Sans");
    model.setPixelSize(16);
    model.setBold(true);
    p.setFont(model);
    p.setPen(QColor(30, 20, 10));
    p.drawText(badge, Qt::AlignCenter, "KT-6");

    p.setPen(QPen(QColor(40, 42, 46, 160), 0.8));
    p.drawLine(QPointF(plate.left() + 16, plate.top() + 39),
               QPointF(plate.right() - 12, plate.top() + 39));
    QFont sub = silkFont(10.5, true, 2.2);
    p.setFont(sub);
    p.setPen(QColor(255, 255, 255, 140));
    const QRectF subRect(plate.left() + 16, plate.top() + 41, plate.width() - 28, 14);
    p.drawText(subRect.translated(0, 0.8), Qt::AlignLeft | Qt::AlignVCenter, "ANTENNA CONTROLLER");
    p.setPen(QColor(34, 36, 40));
    p.drawText(subRect, Qt::AlignLeft | Qt::AlignVCenter, "ANTENNA CONTROLLER");
    p.restore();
}

// Thin silk-screen bracket over a group of keys with its legend in a gap of the line.
void paintGroupLine(QPainter& p, double left, double right, double y, const QString& legend) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const QFont f = silkFont(9, true, 1.6);
    p.setFont(f);
    const double textW = p.fontMetrics().horizontalAdvance(legend) + 10;
    const double mid = (left + right) / 2;
    p.setPen(QPen(kSilkDim, 1.0));
    p.drawLine(QPointF(left, y + 4), QPointF(left, y));
    p.drawLine(QPointF(left, y), QPointF(mid - textW / 2, y));
    p.drawLine(QPointF(mid + textW / 2, y), QPointF(right, y));
    p.drawLine(QPointF(right, y), QPointF(right, y + 4));
    p.setPen(kSilkDim);
    p.drawText(QRectF(mid - textW / 2, y - 7, textW, 14), Qt::AlignCenter, legend);
    p.restore();
}

void paintBandKeys(QPainter& p) {
    const QFont label = silkFont(12, true, 0.4);
    for (std::size_t i = 0; i < kBandKeys.size(); ++i) {
        const auto& key = kBandKeys[i];
        const QPointF c = bandKeyCentre(key);
        paintRoundKey(p, c, kRoundKeyRadius, KeyCap::Dark);
        const bool topRow = i < 4;
        // Top-row legends sit above their keys, bottom-row ones above theirs too, under the
        // display window: below the bottom row the picture is cut off.
        const double y = topRow ? key.rect.top() - 15 : key.rect.top() - 18;
        silkText(p, QRectF(c.x() - 24, y, 48, 14), key.label, label);
    }
    paintGroupLine(p, 96, 337, 9, "BAND");
}

void paintMovingLamp(QPainter& p) {
    const QRectF area(378, 90, 70, 56);
    paintRecess(p, area, 5, QColor(24, 26, 29));
    paintLampBezel(p, QRectF(kLampMove));
    silkText(p, QRectF(area.left(), area.bottom() + 3, area.width(), 12), "ELEMENTS",
             silkFont(8.5, true, 1.2), kSilkDim);
}

void paintDirectionGroup(QPainter& p) {
    const QRectF area(480, 77, 98, 99);
    paintRecess(p, area, 6, QColor(24, 26, 29));
    paintLampBezel(p, QRectF(kLamp180));
    paintLampBezel(p, QRectF(kLampBidir));
    const QPointF c = centreOf(kDirectionKey);
    paintRoundKey(p, c, kRoundKeyRadius, KeyCap::Dark);
    silkText(p, QRectF(area.left(), area.bottom() - 17, area.width(), 13), "DIRECTION",
             silkFont(9.5, true, 1.2));
}

void paintFrequencyKeys(QPainter& p) {
    const QPointF up = centreOf(kUpKey);
    const QPointF dn = centreOf(kDownKey);
    paintRoundKey(p, up, kUpDownKeyRadius, KeyCap::Dark);
    paintRoundKey(p, dn, kUpDownKeyRadius, KeyCap::Dark);

    const QFont label = silkFont(11.5, true, 0.8);
    silkText(p, QRectF(up.x() - 48, up.y() - 7, 28, 14), "UP", label, kSilk,
             Qt::AlignRight | Qt::AlignVCenter);
    silkText(p, QRectF(dn.x() - 48, dn.y() - 7, 28, 14), "DN", label, kSilk,
             Qt::AlignRight | Qt::AlignVCenter);

    // FREQUENCY between the two keys, with arrows pointing at each.
    const double midY = (up.y() + dn.y()) / 2;
    silkText(p, QRectF(up.x() - 45, midY - 7, 90, 14), "FREQUENCY", silkFont(10, true, 1.3));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(kSilkDim);
    const double ax = up.x();
    const double upTip = up.y() + kUpDownKeyRadius + 6;
    p.drawPolygon(
        QPolygonF{QPointF(ax, upTip), QPointF(ax - 4, upTip + 5), QPointF(ax + 4, upTip + 5)});
    const double dnTip = dn.y() - kUpDownKeyRadius - 6;
    p.drawPolygon(
        QPolygonF{QPointF(ax, dnTip), QPointF(ax - 4, dnTip - 5), QPointF(ax + 4, dnTip - 5)});
    p.restore();
}

void paintPowerKeyArea(QPainter& p) {
    const QPointF c = centreOf(kPowerKeyOff);
    silkText(p, QRectF(c.x() - 30, kPowerKeyOff.top() - 19, 60, 13), "POWER",
             silkFont(10, true, 1.4));
    paintPowerKey(p, c, kPowerKeyRadius, PowerState::Off);
}

}  // namespace

QImage paintFrontPanel() {
    QImage img(kPanelSize, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintFace(p);

    paintVentSlots(p, 18, 40, 290);
    for (QPointF s : {QPointF(17, 16), QPointF(17, 309)}) paintScrew(p, s);

    paintDisplayWindow(p);
    paintBandKeys(p);
    paintMakerPlate(p);
    paintMovingLamp(p);
    paintDirectionGroup(p);
    paintFrequencyKeys(p);
    paintPowerKeyArea(p);
    p.end();
    return img.convertToFormat(QImage::Format_RGB32);
}

}  // namespace kt6::assets
