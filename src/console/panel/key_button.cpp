#include "console/panel/key_button.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>

namespace kt6 {

KeyButton::KeyButton(int tag, QPixmap glyph, const QString& caption, QWidget* parent)
    : QAbstractButton(parent), tag_(tag), glyph_(std::move(glyph)) {
    setText(caption);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

void KeyButton::takeKeyboardFocus() {
    // Tab only: a mouse click presses the key without leaving a ring on it.
    setFocusPolicy(Qt::TabFocus);
}

bool KeyButton::showsFocusRing() const {
    if (hasFocus()) return true;
    const auto* focused = qobject_cast<const KeyButton*>(QApplication::focusWidget());
    if (!focused || focused == this || focused->parentWidget() != parentWidget()) return false;
    return isVisible() && focused->geometry().intersects(geometry());
}

void KeyButton::updateOverlapping() {
    if (!parentWidget()) return;
    for (KeyButton* key : parentWidget()->findChildren<KeyButton*>(Qt::FindDirectChildrenOnly)) {
        if (key != this && key->geometry().intersects(geometry())) key->update();
    }
}

void KeyButton::focusInEvent(QFocusEvent* event) {
    QAbstractButton::focusInEvent(event);
    updateOverlapping();
}

void KeyButton::focusOutEvent(QFocusEvent* event) {
    QAbstractButton::focusOutEvent(event);
    updateOverlapping();
}

void KeyButton::keyPressEvent(QKeyEvent* event) {
    // A key hidden or disabled (under a screen) never acts, even should it hold the focus.
    if (!isVisibleTo(window()) || !isEnabled()) {
        event->ignore();
        return;
    }
    // Space is the button's own; Enter presses a key of the panel as well.
    if (!event->isAutoRepeat() &&
        (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
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
    if (showsFocusRing()) {
        // Bright on the dark panel and on the orange lit key alike.
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0, 255, 255), 2));
        p.drawEllipse(QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5));
    }
}

}  // namespace kt6
