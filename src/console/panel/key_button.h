#pragma once
// An image button over the front-panel picture; it carries its key code as its tag.
#include <QAbstractButton>
#include <QPixmap>

namespace kt6 {

class KeyButton : public QAbstractButton {
    Q_OBJECT
public:
    KeyButton(int tag, QPixmap glyph, const QString& caption, QWidget* parent);
    int tag() const { return tag_; }
    // Moves the glyph off the key's middle by this much.
    void setGlyphOffset(QPoint offset) { glyphOffset_ = offset; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int tag_;
    QPixmap glyph_;
    QPoint glyphOffset_;
};

}  // namespace kt6
