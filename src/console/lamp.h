#pragma once
// A round indicator lamp with a settable colour.
#include <QWidget>

#include "link/named_colour.h"

namespace kt6 {

class Lamp : public QWidget {
    Q_OBJECT
public:
    Lamp(NamedColour colour, QWidget* parent);
    void setColour(NamedColour colour);
    NamedColour colour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    NamedColour colour_;
};

}  // namespace kt6
