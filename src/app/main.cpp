// The console: one window on the controller's serial link.
#include <QApplication>
#include <QCommandLineParser>

#include "console/close_on_signal.h"
#include "console/fm_main.h"
#include "console/settings_location.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("SkarNel KT-6"));
    QApplication::setApplicationDisplayName(QStringLiteral("SkarNel KT-6"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Console for the SkarNel KT-6 antenna controller"));
    parser.addHelpOption();
    QCommandLineOption settingsOption(QStringLiteral("settings"),
                                      QStringLiteral("Use this settings file."),
                                      QStringLiteral("FILE"));
    parser.addOption(settingsOption);
    parser.process(app);

    const std::filesystem::path exeDir = QApplication::applicationDirPath().toStdString();
    std::optional<std::filesystem::path> override;
    if (parser.isSet(settingsOption)) override = parser.value(settingsOption).toStdString();

    kt6::ConsoleOptions options;
    options.settingsPath = kt6::locateSettingsFile(exeDir, override);
    options.documentsDir = exeDir;
    kt6::FmMain window(std::move(options));
    kt6::closeOnTerminationSignals(&window);
    window.show();
    return QApplication::exec();
}
