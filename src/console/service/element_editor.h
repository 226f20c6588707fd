#pragma once
// The element length editor over the display: it walks into the controller's element menu,
// shows the four lengths of the band in use, steps one length per "+" or "-" (the controller
// sets the step and the limits), and stores or discards the change.
#include <QObject>
#include <array>
#include <functional>
#include <optional>
#include <string_view>

#include "console/service/element_lengths.h"

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace kt6 {

class ServiceScreens;

class ElementEditor : public QObject {
    Q_OBJECT
  public:
    // Builds Panel_Menu, hidden, over the display area of pnBlue. The editor copies the
    // display's frequency and band lines when it opens; it reaches the link and the
    // controller's state through services.
    ElementEditor(ServiceScreens& services, const QLabel* frequencyLine, const QLabel* bandLine,
                  QWidget* pnBlue, QObject* parent);

    QFrame* panel() const { return Panel_Menu_; }
    // Lets every "+" and "-" take clicks.
    void EnableLengthSteppers();

    // Command 9, as part of the sequence under way: done gets the lengths as the controller
    // holds them now, or nothing.
    void ReadElementLengths(bool flag, std::function<void(std::optional<ElementLengths>)> done);

  public slots:
    void ModifyElemets1Click();
    void B_up_1Click() { step(0, true); }
    void B_up_2Click() { step(1, true); }
    void B_up_3Click() { step(2, true); }
    void B_up_4Click() { step(3, true); }
    void B_down_1Click() { step(0, false); }
    void B_down_2Click() { step(1, false); }
    void B_down_3Click() { step(2, false); }
    void B_down_4Click() { step(3, false); }
    void b_saveClick();
    void B_yesClick();
    void B_noClick();
    void b_cancelClick();

  private:
    void step(std::size_t column, bool up);
    // The steppers, captions and lengths once the controller's editor is open.
    void showSteppers();
    // The column captions, and the steppers' names after them ("Driver +", "Driver −").
    void nameColumns(const std::array<std::string_view, 4>& labels);
    void showLengths(const ElementLengths& lengths);
    // What takes the focus while the editor is on top: YES in the store question, the first
    // "+" once the lengths are up, nothing while the walk in is under way.
    QWidget* defaultControl() const;
    // Leaves the editor, the front keys back.
    void close();
    // A handler reached through a control out of reach does nothing.
    bool fromUnreachable() const;

    ServiceScreens& services_;
    const QLabel* frequencyLine_;
    const QLabel* bandLine_;
    QFrame* Panel_Menu_ = nullptr;
    QLabel* lfreq_mod_el_ = nullptr;
    QLabel* lband_mod_elem_ = nullptr;
    std::array<QLineEdit*, 4> edits_{};
    std::array<QLabel*, 4> captions_{};
    std::array<QPushButton*, 4> up_{};
    std::array<QPushButton*, 4> down_{};
    QPushButton* b_cancel_ = nullptr;
    QPushButton* b_save_ = nullptr;
    // The store question, YES and NO in it: a screen reader meets it as a message box.
    QFrame* saveQuestion_ = nullptr;
    QPushButton* B_yes_ = nullptr;
    QPushButton* B_no_ = nullptr;
    bool opening_ = false;
};

}  // namespace kt6
