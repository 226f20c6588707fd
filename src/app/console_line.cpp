#include "console_line.h"

#include <QCoreApplication>
#include <cstdio>
#include <string_view>

#include "console/documents_location.h"
#include "console/path_text.h"
#include "kt6_build_info.h"
#include "logging/log.h"

namespace kt6 {

namespace {

// One found path per line; a missing manual is named on stderr and fails the run.
int printManualPaths(const std::filesystem::path& exeDir) {
    int status = 0;
    const auto folders = documentFolders(exeDir);
    for (const char* name : {kEnglishManual, kItalianManual}) {
        if (const auto path = findDocument(folders, name)) {
            std::printf("%s\n", pathText(*path).toLocal8Bit().constData());
        } else {
            qCCritical(lcConsole, "%s is in neither %s nor %s", name,
                       qUtf8Printable(pathText(folders[0])), qUtf8Printable(pathText(folders[1])));
            status = 1;
        }
    }
    return status;
}

}  // namespace

CommandLine::CommandLine() {
    parser.setApplicationDescription(
        QStringLiteral("Console for the SkarNel KT-6 antenna controller"));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption(settings);
    parser.addOption(manualPaths);
    parser.addOption(service);
    parser.addOption(headless);
}

bool answeredOnTerminal(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" ||
            arg == "--version" || arg == "--print-manual-paths")
            return true;
    }
    return false;
}

int answerOnTerminal(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    nameApplication();
    CommandLine line;
    line.parser.process(app);  // help and version print and exit here
    return printManualPaths(toPath(QCoreApplication::applicationDirPath()));
}

bool headlessAsked(int argc, char** argv) {
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
    return {exeDir, installedDocumentsDir(exeDir)};
}

}  // namespace kt6
