#pragma once
// The window's controls, as the layout builds them under their own names; the switchboard
// hands each screen the few it paints.
#include <array>
#include <vector>

#include "core/port_session.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace kt6 {

class ClickableLabel;
class KeyButton;
class Lamp;

struct WindowControls {
    std::array<QAction*, kComPortCount> portItems{};
    QMenu* Functions1 = nullptr;
    // Calibrate1, FactoryDefault1, ModifyElemets1, Retract1, estelements1.
    std::array<QAction*, 5> functionItems{};
    QAction* Radio1 = nullptr;
    QAction* Radio21 = nullptr;
    QAction* NoRadio1 = nullptr;

    QLabel* lStatus = nullptr;
    Lamp* ldTX = nullptr;
    Lamp* ldRX = nullptr;
    QCheckBox* ckOmni1 = nullptr;
    QCheckBox* ckOmni2 = nullptr;
    QPushButton* btSetOmni = nullptr;

    QFrame* Panel2 = nullptr;
    QPushButton* btImposta = nullptr;
    QPushButton* btRetract = nullptr;
    QComboBox* cbSlave = nullptr;
    QCheckBox* ckSK2200 = nullptr;
    QLabel* lResult = nullptr;

    QFrame* pnImposta = nullptr;
    QPushButton* btRicevi = nullptr;
    QPushButton* btInvia = nullptr;
    QPushButton* btAggiorna = nullptr;

    QFrame* pnBlue = nullptr;
    std::vector<KeyButton*> frontKeys;  // SpeedButton1..12 and Chiudi
    std::vector<KeyButton*> panelKeys;  // every key on the panel, in creation order
    KeyButton* SpeedButton14 = nullptr;
    KeyButton* BLED_ON1 = nullptr;
    KeyButton* BPower_ON = nullptr;
    QLabel* l180 = nullptr;
    Lamp* ld180 = nullptr;
    QLabel* lBidir = nullptr;
    Lamp* ldBidir = nullptr;
    QLabel* lMove = nullptr;
    Lamp* ldMove = nullptr;
    QLabel* lProgressFG = nullptr;
    QLabel* lProgressBG = nullptr;
    QLabel* lSituaz = nullptr;
    QPlainTextEdit* mmLog = nullptr;

    QFrame* pnDisplay = nullptr;
    ClickableLabel* lFreq = nullptr;
    QLabel* lBanda = nullptr;
    QLabel* Heading = nullptr;
    QLabel* moving = nullptr;
    QFrame* Panel_Elem_Retract = nullptr;
    QFrame* Panel_Chiuso = nullptr;
    QFrame* COM_VERIFY = nullptr;
    // Why the last port failed to open, under "SELECT THE VALID PORT".
    QLabel* lPortError = nullptr;
};

}  // namespace kt6
