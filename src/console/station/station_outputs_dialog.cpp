// The "Station..." dialog of the outputs: the window's side of them, apart so that the console
// without a window needs no widgets.
#include <QDialog>

#include "console/station/station_dialog.h"
#include "console/station/station_outputs.h"
#include "memory/profile_file.h"

namespace kt6 {

void StationOutputs::openDialog(QWidget* parent) {
    if (dialog_) {
        dialog_->raise();
        dialog_->activateWindow();
        return;
    }
    // What the file holds now, edits made by hand since the last reload included.
    auto* dialog = new StationDialog(
        readStationSettings(ProfileFile(context_.settingsPath)),
        [this](const StationSettings& s) { return testPulse(s); },
        [this](const StationSettings& s) {
            return QString::fromStdString(saveStationSettings(context_.settingsPath, s));
        },
        parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &QDialog::accepted, this, &StationOutputs::reload);
    // Closing the outputs ends the dialog as Cancel would.
    connect(this, &StationOutputs::closing, dialog, &QDialog::reject);
    dialog_ = dialog;
    dialog->open();
}

StationDialog* StationOutputs::dialog() const {
    return dialog_;
}

}  // namespace kt6
