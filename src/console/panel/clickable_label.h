#pragma once
// A label that reports a click, for the frequency line of the display.
#include <QLabel>
#include <QMouseEvent>

namespace kt6 {

class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->pos())) emit clicked();
        QLabel::mouseReleaseEvent(event);
    }
};

}  // namespace kt6
