#include "radio/window_rig_server.h"

#include <QMessageBox>
#include <QString>
#include <utility>

#include "logging/log.h"
#include "memory/profile_file.h"
#include "radio/hamlib_models.h"

namespace kt6 {

WindowRigServer::WindowRigServer(HamlibServerOptions options, QObject* parent)
    : HamlibRigServer(std::move(options), parent) {}

WindowRigServer::~WindowRigServer() {
    // A dialog that belongs to the window must not outlive the server it edits.
    if (dialog_ && !ownDialog_) dialog_->deleteLater();
}

void WindowRigServer::showDialog() {
    if (!dialog_) {
        auto* made = new RigSettingsDialog(hamlibRigModels(), options().dialogParent);
        if (!options().dialogParent) ownDialog_.reset(made);
        dialog_ = made;
        QObject::connect(made, &QDialog::accepted, this, &WindowRigServer::dialogAccepted);
        made->setTester(
            [this](int n, const RigPortSettings& s, std::function<void(const QString&)> done) {
                testRig(n, s, std::move(done));
            });
        // Live: the line follows the rig's status and its frequency and mode alike.
        auto refresh = [this](int n) {
            if (dialog_) dialog_->setStatusLine(n, QString::fromStdString(statusLine(n)));
        };
        QObject::connect(this, &HamlibRigServer::rigStatusChanged, made, refresh);
        QObject::connect(this, &HamlibRigServer::rigParamsChanged, made, refresh);
    }
    dialog_->setSettings(settings());
    for (int n = 1; n <= kRigCount; ++n) {
        dialog_->setStatusLine(n, QString::fromStdString(statusLine(n)));
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void WindowRigServer::dialogAccepted() {
    if (!dialog_) return;
    const RigSettings chosen = dialog_->settings();
    if (!options().settingsPath.empty()) {
        ProfileFile file(options().settingsPath);
        saveRigSettings(file, chosen);
        std::string reason;
        if (!file.flush(&reason)) {
            qCWarning(lcSettings, "rig settings not saved: %s", reason.c_str());
            QMessageBox::warning(dialog_, dialog_->windowTitle(),
                                 QStringLiteral("The rig settings could not be saved: %1")
                                     .arg(QString::fromStdString(reason)));
        }
    }
    applySettings(chosen);
}

}  // namespace kt6
