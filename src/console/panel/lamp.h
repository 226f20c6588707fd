#pragma once
// A round indicator lamp with a settable colour.
#include <QWidget>
#include <functional>

#include "core/named_colour.h"

namespace kt6 {

class Lamp : public QWidget {
    Q_OBJECT
  public:
    Lamp(NamedColour colour, QWidget* parent);
    void setColour(NamedColour colour);
    NamedColour colour() const { return colour_; }
    // How a lamp tells its state to assistive technology: its description always ("180°: on"
    // while lit() holds for its colour, "180°: off" otherwise), and its name too when stateful
    // (a name change is announced); a lamp that flickers with every frame keeps a plain name.
    struct Description {
        QString name;
        std::function<bool(NamedColour)> lit;
        bool stateInName = true;
    };
    void describeAs(Description description);
    // Whether the lamp shows as lit: its description's lit() for its colour; a lamp without
    // one always is.
    bool lit() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void updateDescription();

    NamedColour colour_;
    Description description_;
};

}  // namespace kt6
