#pragma once
// The input block a running sequence keeps up: the window repaints and its timers tick while
// every click and key is dropped before it reaches a control.
#include <QObject>

namespace kt6 {

// While it lives, no control of the application gets mouse, wheel, key or touch input, and the
// cursor shows busy. Nests. Keys still reach the windows themselves, where assistive
// technology listens for them: a screen reader's own commands work during a wait.
class InputBlock : public QObject {
  public:
    InputBlock();
    ~InputBlock() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kt6
