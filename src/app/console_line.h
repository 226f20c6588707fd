#pragma once
// The console's command line, the same for the window and for the console without one: the
// options both accept, the questions answered on the terminal, and the headless run.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <filesystem>
#include <vector>

namespace kt6 {

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

    CommandLine();
};

// Questions answered on the terminal need no display, so they must not start the window
// system: "--version" works over ssh and in a package check.
bool answeredOnTerminal(int argc, char** argv);
// Help, version or the manuals' paths, on a core application; what the program returns.
int answerOnTerminal(int argc, char** argv);
// The console without a window needs no display: it must not start the window system.
bool headlessAsked(int argc, char** argv);
void nameApplication();
std::vector<std::filesystem::path> documentFolders(const std::filesystem::path& exeDir);

// The console without a window, in this process, until a termination signal; what the program
// returns. Its own program on POSIX systems (headless_main.cpp), the window's on Windows.
int runHeadless(int argc, char** argv);

}  // namespace kt6
