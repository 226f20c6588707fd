#pragma once
// The front panel from the keyboard and for assistive technology: every key and lamp named,
// each key's tool tip giving its shortcut, and the shortcuts themselves.
#include <array>
#include <functional>
#include <vector>

class QWidget;

namespace kt6 {

class KeyButton;
class Lamp;

// The front panel's controls as the window built them.
struct FrontPanelControls {
    // Every key on the panel, shown or not: each is named for what it does.
    std::vector<KeyButton*> keys;
    // The keys with shortcuts, in shortcut order: the band keys low to high (Ctrl+1..Ctrl+8),
    // then frequency up (Ctrl+Up), down (Ctrl+Down), display (Ctrl+D) and power (Ctrl+P).
    std::array<KeyButton*, 12> bound{};
    // The lit power key, lying over the dark one while the display is on.
    KeyButton* powerOn = nullptr;
    // The lit band key.
    KeyButton* bandLamp = nullptr;
    // ld180, ldBidir, ldMove, ldTX, ldRX.
    std::array<Lamp*, 5> lamps{};
    // The display's frequency line, a click on which asks for a new frequency.
    QWidget* frequency = nullptr;
};

// Names the keys and lamps and binds, on window, Ctrl+1..Ctrl+8, Ctrl+Up, Ctrl+Down, Ctrl+D,
// Ctrl+P, and Ctrl+F, which runs frequencyEntry. A shortcut presses its key as a click does,
// and does nothing while the key is hidden.
void bindFrontPanel(QWidget* window, const FrontPanelControls& panel,
                    std::function<void()> frequencyEntry);

}  // namespace kt6
