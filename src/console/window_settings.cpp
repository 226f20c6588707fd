#include "console/window_settings.h"

#include "console/whole_number.h"
#include "console/window_place.h"
#include "logging/log.h"
#include "memory/profile_file.h"
#include "memory/transfer_settings.h"

namespace kt6 {

StartSettings WindowSettings::load() {
    ProfileFile settings(path_);
    // Such a file reads as empty, so everything below takes its default.
    if (!settings.problem().empty()) reportUnusable(settings);
    const std::string portText = settings.readString("General", "Serialport", "1");
    // A fresh install follows no radio: one that nobody set up would only greet the operator
    // with a connection error.
    const std::string r1 = settings.readString("OmniRig", "Rig1", "0");
    const std::string r2 = settings.readString("OmniRig", "Rig2", "0");
    StartSettings start;
    if (auto value = wholeNumber(portText)) {
        start.port = *value;
    } else {
        message_(
            QStringLiteral("\"%1\" is not a valid serial port number in %2; COM1 is used.")
                .arg(QString::fromStdString(portText), QString::fromStdString(path_.string())));
    }
    start.rig1 = settings.readInt("OmniRig", "Rig1", 0) != 0;
    start.rig2 = settings.readInt("OmniRig", "Rig2", 0) != 0;
    // A "1" wins over the number read above, and rig 2's over rig 1's.
    if (r1 == "1") {
        start.rig1 = true;
        start.rig2 = false;
    }
    if (r2 == "1") {
        start.rig2 = true;
        start.rig1 = false;
    }
    start.noRadio = r1 == "0" && r2 == "0";
    start.adaptiveWrite = readTransferSettings(settings).adaptiveWrite;
    return start;
}

void WindowSettings::save(const WindowState& state) {
    ProfileFile settings(path_);
    if (!settings.problem().empty()) {
        reportUnusable(settings);
        return;
    }
    if (state.answeringPort) {
        settings.writeString("General", "Serialport", std::to_string(*state.answeringPort));
    }
    settings.writeString("OmniRig", "Rig1", state.rig1 ? "1" : "0");
    settings.writeString("OmniRig", "Rig2", state.rig2 ? "1" : "0");
    if (state.place) saveWindowPlace(settings, *state.place);
    std::string error;
    if (!settings.flush(&error)) {
        qCWarning(lcSettings, "not saved: %s", error.c_str());
        message_(QStringLiteral("The settings could not be saved: %1")
                     .arg(QString::fromStdString(error)));
    }
}

QPoint WindowSettings::place(QSize frame, const QList<QRect>& screens) const {
    return chooseWindowPlace(loadWindowPlace(ProfileFile(path_)), frame, screens);
}

void WindowSettings::reportUnusable(const ProfileFile& settings) {
    if (problemReported_) return;
    problemReported_ = true;
    const QString text =
        QStringLiteral(
            "The settings file %1 %2. The console runs on its defaults and does not "
            "change the file.")
            .arg(QString::fromStdString(settings.path().string()),
                 QString::fromStdString(settings.problem()));
    qCWarning(lcSettings, "%s", qUtf8Printable(text));
    message_(text);
}

}  // namespace kt6
