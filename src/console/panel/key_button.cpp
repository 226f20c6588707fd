#include "console/panel/key_button.h"

#include <QPainter>

namespace kt6 {

KeyButton::KeyButton(int tag, QPixmap glyph, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), tag_(tag), glyph_(std::move(glyph)) {
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void KeyButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!glyph_.isNull()) {
        // Glyphs are a few pixels larger than the key; centre them over it.
        const QPoint at((width() - glyph_.width()) / 2, (height() - glyph_.height()) / 2);
        p.drawPixmap(at + glyphOffset_, glyph_);
    } else {
        p.setPen(QPen(QColor(30, 30, 30), 1));
        p.setBrush(QColor(90, 90, 95));
        p.drawEllipse(QRectF(rect()).adjusted(2, 2, -2, -2));
    }
    if (isDown()) p.fillRect(rect(), QColor(0, 0, 0, 70));
    if (!text().isEmpty()) {
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, text());
    }
}

}  // namespace kt6
