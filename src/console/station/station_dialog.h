#pragma once
// "Station...": which line of which serial port tells the station the elements move, whether
// it is active low, and the command run at each change; Test pulses the line for a second.
#include <QDialog>
#include <functional>

#include "console/station/station_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kt6 {

class StationDialog : public QDialog {
    Q_OBJECT
  public:
    // Pulses the line the settings name; empty, or why it could not be driven.
    using Tester = std::function<QString(const StationSettings&)>;
    // Saves the settings; empty, or why they were not saved.
    using Saver = std::function<QString(const StationSettings&)>;

    StationDialog(const StationSettings& settings, Tester tester, Saver saver,
                  QWidget* parent = nullptr);

    // The settings as the fields hold them now.
    StationSettings settings() const;
    // Runs the tester on the fields and shows its answer.
    void test();
    QString message() const;

    // Checks the fields and saves them; stays open with the reason when either fails.
    void accept() override;

  private:
    // Why the fields cannot be saved; empty when they can.
    QString problem() const;
    void tell(const QString& text);

    Tester tester_;
    Saver saver_;
    QLineEdit* edPort_ = nullptr;
    QComboBox* cbLine_ = nullptr;
    QCheckBox* ckActiveLow_ = nullptr;
    QLineEdit* edCommand_ = nullptr;
    QPushButton* btTest_ = nullptr;
    QLabel* lMessage_ = nullptr;
};

}  // namespace kt6
