#pragma once
// Greys the display's lines while what they show is not live, and gives them back their
// own colours when it is again.
#include <QColor>
#include <QPointer>
#include <vector>

class QWidget;

namespace kt6 {

class DisplayDimmer {
  public:
    void add(QWidget* line);
    // Dims or brightens; a repeat of the current state changes nothing.
    void setDimmed(bool dimmed);
    bool dimmed() const { return dimmed_; }

  private:
    struct Line {
        QPointer<QWidget> widget;
        QColor own;
    };
    std::vector<Line> lines_;
    bool dimmed_ = false;
};

}  // namespace kt6
