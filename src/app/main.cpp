// The console: one window on the controller's serial link, or the same console without one
// (--headless) for a computer beside the controller that stations reach through the interface.
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

#include <cstdio>
#include <string_view>

#include "console/close_on_signal.h"
#include "console/documents_location.h"
#include "console/fm_main.h"
#include "console/headless_console.h"
#include "console/path_text.h"
#include "console/settings_location.h"
#include "kt6_build_info.h"
#include "logging/log.h"
#include "parent_terminal.h"

namespace {

struct CommandLine {
    QCommandLineParser parser;
    QCommandLineOption settings{QStringLiteral("settings"),
                                QStringLiteral("Use this settings file."), QStringLiteral("FILE")};
    QCommandLineOption manualPaths{
        QStringLiteral("print-manual-paths"),
        QStringLiteral("Print where the Help menu finds manual.pdf and manuale.pdf, and exit.")};
    QCommandLineOption service{QStringLiteral("service"),
                               QStringLiteral("Show the service strip (Setup..., Retract, "
                                              "master/slave) below the front panel.")};
    QCommandLineOption headless{
        QStringLiteral("headless"),
        QStringLiteral("Run without a window: the controller and the local interface only.")};

    CommandLine() {
        parser.setApplicationDescription(
            QStringLiteral("Console for the SkarNel KT-6 antenna controller"));
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addOption(settings);
        parser.addOption(manualPaths);
        parser.addOption(service);
        parser.addOption(headless);
    }
};

// Questions answered on the terminal need no display, so they must not start the window
// system: "--version" works over ssh and in a package check.
bool answeredOnTerminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version" || arg == "--print-manual-paths")
            return true;
    }
    return false;
}

// The console without a window needs no display: it must not start the window system.
bool headless(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--headless") return true;
    }
    return false;
}

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("SkarNel KT-6"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KT6_VERSION));
}

std::vector<std::filesystem::path> documentFolders(const std::filesystem::path& exeDir) {
    return {exeDir, kt6::installedDocumentsDir(exeDir)};
}

// One found path per line; a missing manual is named on stderr and fails the run.
int printManualPaths(const std::filesystem::path& exeDir) {
    int status = 0;
    const auto folders = documentFolders(exeDir);
    for (const char* name : {kt6::kEnglishManual, kt6::kItalianManual}) {
        if (const auto path = kt6::findDocument(folders, name)) {
            std::printf("%s\n", kt6::pathText(*path).toLocal8Bit().constData());
        } else {
            qCCritical(kt6::lcConsole, "%s is in neither %s nor %s", name,
                       qUtf8Printable(kt6::pathText(folders[0])),
                       qUtf8Printable(kt6::pathText(folders[1])));
            status = 1;
        }
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    kt6::installLogHandler();
    if (answeredOnTerminal(argc, argv) || headless(argc, argv)) kt6::useParentTerminal();
    if (answeredOnTerminal(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        CommandLine line;
        line.parser.process(app);  // help and version print and exit here
        return printManualPaths(kt6::toPath(QCoreApplication::applicationDirPath()));
    }

    if (headless(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        CommandLine line;
        line.parser.process(app);
        std::optional<std::filesystem::path> override;
        if (line.parser.isSet(line.settings))
            override = kt6::toPath(line.parser.value(line.settings));
        const std::filesystem::path exeDir = kt6::toPath(QCoreApplication::applicationDirPath());
        kt6::HeadlessConsole console(kt6::locateSettingsFile(exeDir, override));
        if (const QString why = console.start(); !why.isEmpty()) {
            qCCritical(kt6::lcApi, "not started: %s", qUtf8Printable(why));
            return 2;
        }
        kt6::stopOnTerminationSignals(&console, [&console] { console.stop(); });
        return QCoreApplication::exec();
    }

    QApplication app(argc, argv);
    nameApplication();
    QApplication::setApplicationDisplayName(QStringLiteral("SkarNel KT-6"));
    // The desktop pairs the window with its menu entry and icon by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("skarnel-kt6"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/assets/icon_256.png")));

    CommandLine line;
    line.parser.process(app);

    const std::filesystem::path exeDir = kt6::toPath(QApplication::applicationDirPath());
    std::optional<std::filesystem::path> override;
    if (line.parser.isSet(line.settings)) override = kt6::toPath(line.parser.value(line.settings));

    kt6::ConsoleOptions options;
    options.settingsPath = kt6::locateSettingsFile(exeDir, override);
    const auto folders = documentFolders(exeDir);
    options.documentsDir = folders[0];
    options.installedDocumentsDir = folders[1];
    options.serviceStrip = line.parser.isSet(line.service);
    options.serveInterface = true;
    kt6::FmMain window(std::move(options));
    kt6::closeOnTerminationSignals(&window);
    window.show();
    return QApplication::exec();
}
