#pragma once
// The window's rig server: the server and its "Config Radio" dialog, which edits the settings
// it runs on and tests a rig on them.
#include <QPointer>
#include <memory>

#include "radio/hamlib_rig_server.h"
#include "radio/rig_settings_dialog.h"

namespace kt6 {

class WindowRigServer : public HamlibRigServer {
  public:
    explicit WindowRigServer(HamlibServerOptions options, QObject* parent = nullptr);
    ~WindowRigServer() override;

    // "Config Radio", over the options' parent window; OK saves the settings and applies them.
    void showDialog() override;
    RigSettingsDialog* dialog() const { return dialog_; }

  private:
    void dialogAccepted();

    QPointer<RigSettingsDialog> dialog_;
    // A dialog without a parent window is owned here.
    std::unique_ptr<RigSettingsDialog> ownDialog_;
};

}  // namespace kt6
