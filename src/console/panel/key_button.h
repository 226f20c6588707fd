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
    // Lets Tab reach the key; Space and Enter then press it.
    void takeKeyboardFocus();
    // This key is the lit face of key, lying over it and sending what it sends: assistive
    // technology knows the two as one key, key while it is shown and this face while only it
    // is (see listLitFacesAsTheirKeys).
    void setLitFaceOf(KeyButton* key) { litFaceOf_ = key; }
    const KeyButton* litFaceOf() const { return litFaceOf_; }
    // This key is a lamp laid over whichever key it lands on (the band lamp): to assistive
    // technology the key under it stays the one met, named as lit, and the lamp stands aside.
    void setLightsKeyUnder(bool lights) { lightsKeyUnder_ = lights; }
    bool lightsKeyUnder() const { return lightsKeyUnder_; }
    // True while this key shows the keyboard's focus ring: its own focus, or that of a key it
    // lies over (the lit band key over its band key, the lit power key over the dark one).
    bool showsFocusRing() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    // Repaints the keys lying over or under this one, which may draw its ring.
    void updateOverlapping();

    int tag_;
    QPixmap glyph_;
    QPoint glyphOffset_;
    KeyButton* litFaceOf_ = nullptr;
    bool lightsKeyUnder_ = false;
};

}  // namespace kt6
