#include "console/colours.h"

#include <QPalette>
#include <QWidget>

namespace kt6 {

QColor toQColor(NamedColour c) {
    return QColor(QRgb(rgb(c)));
}

void setBackground(QWidget* widget, NamedColour c) {
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, toQColor(c));
    p.setColor(QPalette::Button, toQColor(c));
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void setTextColour(QWidget* widget, NamedColour c) {
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, toQColor(c));
    p.setColor(QPalette::Text, toQColor(c));
    widget->setPalette(p);
}

QColor backgroundOf(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

QColor textColourOf(const QWidget* widget) {
    return widget->palette().color(QPalette::WindowText);
}

}  // namespace kt6
