#pragma once
// A round indicator lamp with a settable colour.
#include <QWidget>
#include <optional>

#include "link/named_colour.h"

namespace kt6 {

class Lamp : public QWidget {
    Q_OBJECT
public:
    Lamp(NamedColour colour, QWidget* parent);
    void setColour(NamedColour colour);
    NamedColour colour() const { return colour_; }
    // Names the lamp for assistive technology; its description then tells "180°: on" while
    // it shows onColour, "180°: off" otherwise.
    void describeAs(const QString& name, NamedColour onColour);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateDescription();

    NamedColour colour_;
    QString name_;
    std::optional<NamedColour> onColour_;
};

}  // namespace kt6
