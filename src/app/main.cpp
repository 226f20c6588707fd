// The console: one window on the controller's serial link, or the same console without one
// (--headless) for a computer beside the controller that stations reach through the interface.
#include <QApplication>
#include <QIcon>

#include "console/close_on_signal.h"
#include "console/fm_main.h"
#include "console/path_text.h"
#include "console/settings_location.h"
#include "console_line.h"
#include "logging/log.h"
#include "parent_terminal.h"
#ifndef _WIN32
#include "headless_exec.h"
#endif

int main(int argc, char** argv) {
    kt6::installLogHandler();
#ifndef _WIN32
    // Without a window the console is a program of its own, which loads none of the window
    // system's libraries: this process becomes it before any of them is started.
    if (kt6::headlessAsked(argc, argv) && !kt6::answeredOnTerminal(argc, argv))
        return kt6::execHeadless(argv);
#endif
    if (kt6::answeredOnTerminal(argc, argv) || kt6::headlessAsked(argc, argv))
        kt6::useParentTerminal();
    if (kt6::answeredOnTerminal(argc, argv)) return kt6::answerOnTerminal(argc, argv);
#ifdef _WIN32
    // Windows runs the console without a window in this program.
    if (kt6::headlessAsked(argc, argv)) return kt6::runHeadless(argc, argv);
#endif

    QApplication app(argc, argv);
    kt6::nameApplication();
    QApplication::setApplicationDisplayName(QStringLiteral("SkarNel KT-6"));
    // The desktop pairs the window with its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("skarnel-kt6"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon_256.png")));

    kt6::CommandLine line;
    line.parser.process(app);

    const std::filesystem::path exeDir = kt6::toPath(QApplication::applicationDirPath());
    std::optional<std::filesystem::path> override;
    if (line.parser.isSet(line.settings)) override = kt6::toPath(line.parser.value(line.settings));

    kt6::ConsoleOptions options;
    options.settingsPath = kt6::locateSettingsFile(exeDir, override);
    const auto folders = kt6::documentFolders(exeDir);
    options.documentsDir = folders[0];
    options.installedDocumentsDir = folders[1];
    options.serviceStrip = line.parser.isSet(line.service);
    options.serveInterface = true;
    kt6::FmMain window(std::move(options));
    kt6::closeOnTerminationSignals(&window);
    window.show();
    return QApplication::exec();
}
