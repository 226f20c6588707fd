#pragma once
// The front panel from the keyboard and for assistive technology: every key and lamp named,
// each key's tool tip giving its shortcut, and the shortcuts themselves.
#include <functional>

class QWidget;

namespace kt6 {

// Names the keys and lamps on panel and binds, on window, Ctrl+1..Ctrl+8 (band keys, low to
// high), Ctrl+Up, Ctrl+Down, Ctrl+D, Ctrl+P, and Ctrl+F, which runs frequencyEntry. A
// shortcut presses its key as a click does, and does nothing while the key is hidden.
void bindFrontPanel(QWidget* window, QWidget* panel, std::function<void()> frequencyEntry);

}  // namespace kt6
