#pragma once
// "Assign ports...": which device each of COM1 to COM13 opens, chosen from the devices
// present or typed, each mapping testable against the controller before it is kept.
#include <QDialog>
#include <array>
#include <functional>
#include <vector>

#include "console/ports/serial_devices.h"

class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;

namespace kt6 {

class PortAssignDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int kPorts = 13;
    // Index 0 is COM1; an empty text is the port's default device.
    using Mapping = std::array<QString, kPorts>;
    // Tests the device for COMn; answer gets what the operator is told, now or later.
    using Tester = std::function<void(int comNumber, const QString& device,
                                      std::function<void(const QString&)> answer)>;

    PortAssignDialog(std::vector<SerialDevice> devices, Mapping mapping,
                     std::function<QString(int)> defaultDevice, Tester tester,
                     QWidget* parent = nullptr);

    const Mapping& mapping() const { return mapping_; }
    // The COM whose row is selected, 1 to 13.
    int currentCom() const;
    void selectCom(int comNumber);
    // Types a device for the selected COM, as the operator would.
    void setDevice(const QString& device);
    // Runs the tester on the selected COM's device and shows its answer.
    void test();
    QString testResult() const;

    void accept() override;

  private:
    void showRow(int row);
    void deviceEdited(const QString& text);
    QString rowText(int row) const;

    std::vector<SerialDevice> devices_;
    Mapping mapping_;
    std::function<QString(int)> defaultDevice_;
    Tester tester_;
    QListWidget* lstPorts_ = nullptr;
    QComboBox* cbDevice_ = nullptr;
    QLabel* lDevice_ = nullptr;
    QPushButton* btTest_ = nullptr;
    QPushButton* btDefault_ = nullptr;
    QLabel* lTestResult_ = nullptr;
    bool showing_ = false;
};

}  // namespace kt6
