// Draws the front-panel picture, the key glyphs and the application icon into a folder:
//   kt6-draw-assets OUTDIR [--preview FILE]
// The preview lays the glyphs and the display over the picture where the console puts them,
// to check by eye that they line up.
#include "front_layout.h"
#include "icon_painter.h"
#include "key_painter.h"
#include "panel_painter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>

#include <cstdio>
#include <vector>

namespace {

using namespace kt6::assets;

bool save(const QImage& img, const QString& path, const char* format, int quality) {
    QImageWriter w(path, format);
    w.setQuality(quality);
    if (!w.write(img)) {
        std::fprintf(stderr, "kt6-draw-assets: %s: %s\n", qPrintable(path),
                     qPrintable(w.errorString()));
        return false;
    }
    return true;
}

// A Windows icon file holding one PNG image per size (the form Windows Vista and later read),
// for the executable's icon resource.
bool saveIco(const std::vector<int>& sizes, const QString& path) {
    std::vector<QByteArray> images;
    for (const int size : sizes) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!paintAppIcon(size).save(&buffer, "png")) return false;
        images.push_back(png);
    }
    QByteArray ico;
    auto put16 = [&](int v) {
        ico.append(static_cast<char>(v & 0xFF));
        ico.append(static_cast<char>((v >> 8) & 0xFF));
    };
    auto put32 = [&](qint64 v) {
        put16(static_cast<int>(v & 0xFFFF));
        put16(static_cast<int>((v >> 16) & 0xFFFF));
    };
    put16(0);  // reserved
    put16(1);  // an icon, not a cursor
    put16(static_cast<int>(sizes.size()));
    qint64 offset = 6 + 16 * static_cast<qint64>(sizes.size());
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        // 256 is written as 0: the byte holds no more.
        ico.append(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
        ico.append(static_cast<char>(sizes[i] >= 256 ? 0 : sizes[i]));
        ico.append('\0');  // no palette
        ico.append('\0');  // reserved
        put16(1);          // colour planes
        put16(32);         // bits per pixel
        put32(images[i].size());
        put32(offset);
        offset += images[i].size();
    }
    for (const QByteArray& png : images) ico.append(png);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ico) != ico.size()) {
        std::fprintf(stderr, "kt6-draw-assets: %s: %s\n", qPrintable(path),
                     qPrintable(file.errorString()));
        return false;
    }
    return true;
}

// Centred on the control, as the console shows a glyph larger than its button.
void drawCentred(QPainter& p, const QImage& glyph, const QRect& control) {
    const QPointF at =
        QRectF(control).center() - QPointF(glyph.width() / 2.0, glyph.height() / 2.0);
    p.save();
    p.setClipRect(control);
    p.drawImage(at, glyph);
    p.restore();
}

QImage preview(const QImage& panel, const QImage& round, const QImage& updown,
               const QImage& powerOn, const QImage& lit) {
    QImage out(kVisibleSize, QImage::Format_RGB32);
    out.fill(Qt::black);
    QPainter p(&out);
    p.drawImage(0, 0, panel);
    for (const auto& key : kBandKeys) drawCentred(p, round, key.rect);
    drawCentred(p, lit, QRect(kBandKeys[6].rect.topLeft(), kBandKeyControl));
    drawCentred(p, round, kDirectionKey);
    drawCentred(p, updown, kUpKey);
    drawCentred(p, updown, kDownKey);
    drawCentred(p, powerOn, kPowerKeyOn);
    p.fillRect(kDisplay, QColor(0xC0, 0xDC, 0xC0));
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // The lamps at rest, as the console paints them: out, dark glass.
    p.setBrush(QColor(0x80, 0x80, 0x80).darker(300));
    p.drawEllipse(kLampMove);
    p.setBrush(QColor(0x00, 0x80, 0x00).darker(300));
    p.drawEllipse(kLamp180);
    p.setBrush(QColor(0x80, 0x00, 0x00).darker(300));
    p.drawEllipse(kLampBidir);
    QFont f("DejaVu Sans");
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(kCaption180, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("180°"));
    p.drawText(kCaptionBidir, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Bi-dir."));
    p.drawText(kCaptionMove, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Moving..."));
    f.setBold(true);
    p.setFont(f);
    p.drawText(kUpKey, Qt::AlignCenter, QStringLiteral("^"));
    p.drawText(kDownKey, Qt::AlignCenter, QStringLiteral("v"));
    p.end();
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    // Drawing needs fonts but no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments();
    if (args.size() != 2 && !(args.size() == 4 && args[2] == "--preview")) {
        std::fprintf(stderr, "usage: kt6-draw-assets OUTDIR [--preview FILE]\n");
        return 2;
    }
    const QDir out(args[1]);
    if (!out.exists() && !QDir().mkpath(out.path())) {
        std::fprintf(stderr, "kt6-draw-assets: cannot create %s\n", qPrintable(out.path()));
        return 1;
    }

    const QImage panel = paintFrontPanel();
    const QImage round = roundKeyGlyph(kRoundKeyGlyph, kRoundKeyRadius, KeyCap::Dark);
    const QImage updown = roundKeyGlyph(kUpDownKeyGlyph, kUpDownKeyRadius, KeyCap::Dark);
    const QImage lit = roundKeyGlyph(kLitKeyGlyph, kRoundKeyRadius, KeyCap::Lit);
    const QImage powerOff = powerKeyGlyph(kPowerOffGlyph, kPowerKeyRadius, PowerState::Off);
    const QImage powerOn = powerKeyGlyph(kPowerOnGlyph, kPowerKeyRadius, PowerState::On);

    bool ok = save(panel, out.filePath("panel.jpg"), "jpeg", 90);
    ok = save(round, out.filePath("key_round.png"), "png", -1) && ok;
    ok = save(updown, out.filePath("key_updown.png"), "png", -1) && ok;
    ok = save(lit, out.filePath("key_lit.png"), "png", -1) && ok;
    ok = save(powerOff, out.filePath("key_power_off.png"), "png", -1) && ok;
    ok = save(powerOn, out.filePath("key_power_on.png"), "png", -1) && ok;
    // The sizes a desktop's menus and launchers ask for first.
    for (const int size : {48, 128, 256})
        ok = save(paintAppIcon(size), out.filePath(QStringLiteral("icon_%1.png").arg(size)), "png",
                  -1) &&
             ok;
    ok = saveIco({16, 24, 32, 48, 64, 256}, out.filePath("icon.ico")) && ok;
    if (ok && args.size() == 4)
        ok = save(preview(panel, round, updown, powerOn, lit), args[3], "png", -1);
    return ok ? 0 : 1;
}
