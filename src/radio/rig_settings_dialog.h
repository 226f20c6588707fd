#pragma once
// "Config Radio": how rig 1 and rig 2 are reached (Hamlib model, port, speed, poll
// interval), with each rig's live status.
#include <QDialog>
#include <array>
#include <vector>

#include "radio/hamlib_models.h"
#include "radio/rig_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace kt6 {

class RigSettingsDialog : public QDialog {
    Q_OBJECT
  public:
    static constexpr const char* kCaption = "Config Radio";

    RigSettingsDialog(std::vector<RigModelInfo> models, QWidget* parent = nullptr);

    void setSettings(const RigSettings& settings);
    // What the controls hold now; a model text that names no list entry keeps the model
    // the rig had.
    RigSettings settings() const;
    void setStatusLine(int rigNumber, const QString& text);
    QString statusLine(int rigNumber) const;

  private:
    struct RigControls {
        QComboBox* model = nullptr;
        QLineEdit* port = nullptr;
        QComboBox* speed = nullptr;
        QSpinBox* poll = nullptr;
        QLabel* status = nullptr;
    };
    void buildRig(int rigNumber, QWidget* box);
    void selectModel(RigControls& c, int model);

    std::vector<RigModelInfo> models_;
    std::array<RigControls, kRigCount> rigs_{};
    RigSettings shown_;
};

}  // namespace kt6
