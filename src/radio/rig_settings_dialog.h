#pragma once
// "Config Radio": how rig 1 and rig 2 are reached (Hamlib model, port, speed, poll interval, or
// a logger's UDP port, address and radio number) and their retune step, one page per rig, with
// each rig's live status.
#include <QDialog>
#include <array>
#include <functional>
#include <vector>

#include "radio/hamlib_models.h"
#include "radio/rig_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QFormLayout;
class QTabWidget;

namespace kt6 {

class RigSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Config Radio";
    // Connects to a rig with these settings and calls done once with what to show:
    // "Online, 14.074000 MHz, USB" or the reason it could not.
    using Tester = std::function<void(int rigNumber, const RigPortSettings& settings,
                                      std::function<void(const QString&)> done)>;

    RigSettingsDialog(std::vector<RigModelInfo> models, QWidget* parent = nullptr);

    void setSettings(const RigSettings& settings);
    // What the controls hold now; a model text that names no list entry keeps the model
    // the rig had.
    RigSettings settings() const;
    // The status of the rig as it runs now; while the page holds other connection settings the
    // row says it is about the settings in use, so a Test of the new ones is not contradicted.
    void setStatusLine(int rigNumber, const QString& text);
    QString statusLine(int rigNumber) const;
    void setTester(Tester tester) { tester_ = std::move(tester); }
    // Tests the rig with what the dialog holds now.
    void test(int rigNumber);
    QString testResult(int rigNumber) const;
    // What stops the settings from being accepted; empty when nothing does.
    QString problems() const;
    // Accepts only settings that can be tried; otherwise says why and stays open.
    void accept() override;

  private:
    struct RigControls {
        QFormLayout* form = nullptr;
        QComboBox* source = nullptr;
        QComboBox* model = nullptr;
        QLineEdit* port = nullptr;
        QComboBox* speed = nullptr;
        QSpinBox* poll = nullptr;
        QSpinBox* udpPort = nullptr;
        QLineEdit* bind = nullptr;
        QSpinBox* radioNumber = nullptr;
        QSpinBox* step = nullptr;
        QLabel* status = nullptr;
        QString statusText;
        QPushButton* test = nullptr;
        QLabel* testResult = nullptr;
    };
    QString problems(int rigNumber) const;
    void buildRig(int rigNumber, QWidget* box);
    void selectModel(RigControls& c, int model);
    RigSource sourceOf(const RigControls& c) const;
    // Shows the rows the chosen source uses; the others are hidden, out of the Tab chain.
    void showSourceRows(int rigNumber);
    void sourceChosen(int rigNumber);
    void refreshStatus(int rigNumber);

    std::vector<RigModelInfo> models_;
    std::array<RigControls, kRigCount> rigs_{};
    RigSettings shown_;
    Tester tester_;
    QLabel* lProblems_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    // Each test's answer goes to the label only if no later test of the rig started.
    std::array<int, kRigCount> testRuns_{};
};

}  // namespace kt6
