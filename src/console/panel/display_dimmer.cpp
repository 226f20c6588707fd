#include "console/panel/display_dimmer.h"

#include <QPalette>
#include <QWidget>

#include "console/colours.h"

namespace kt6 {

void DisplayDimmer::add(QWidget* line) {
    lines_.push_back({line, {}});
}

void DisplayDimmer::setDimmed(bool dimmed) {
    if (dimmed == dimmed_) return;
    dimmed_ = dimmed;
    for (Line& line : lines_) {
        if (!line.widget) continue;
        if (dimmed) {
            line.own = textColourOf(line.widget);
            setTextColour(line.widget, NamedColour::clGray);
        } else {
            QPalette p = line.widget->palette();
            p.setColor(QPalette::WindowText, line.own);
            p.setColor(QPalette::Text, line.own);
            line.widget->setPalette(p);
        }
    }
}

}  // namespace kt6
