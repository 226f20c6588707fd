#pragma once
// Painting with the named colours: widget backgrounds, label texts, and reading them back.
#include <QColor>

#include "core/named_colour.h"

class QWidget;

namespace kt6 {

QColor toQColor(NamedColour c);
// Fills the widget's background with the colour.
void setBackground(QWidget* widget, NamedColour c);
// Sets the colour a label or check box draws its text in.
void setTextColour(QWidget* widget, NamedColour c);
QColor backgroundOf(const QWidget* widget);
QColor textColourOf(const QWidget* widget);

}  // namespace kt6
