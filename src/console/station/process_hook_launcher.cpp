#include "console/station/process_hook_launcher.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>

namespace kt6 {

ProcessHookLauncher::ProcessHookLauncher(QObject* parent) : QObject(parent) {}

ProcessHookLauncher::~ProcessHookLauncher() {
    // The processes go with their parent; what they emit while going must reach no one.
    for (QProcess* process : findChildren<QProcess*>(Qt::FindDirectChildrenOnly)) {
        process->disconnect(this);
    }
}

void ProcessHookLauncher::start(const std::vector<std::string>& args,
                                const std::vector<std::string>& env, Finished finished) {
    auto* process = new QProcess(this);
    auto told = std::make_shared<Finished>(std::move(finished));
    QStringList arguments;
    for (std::size_t i = 1; i < args.size(); ++i) arguments << QString::fromStdString(args[i]);
    process->setProgram(args.empty() ? QString() : QString::fromStdString(args[0]));
    process->setArguments(arguments);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const std::string& entry : env) {
        const auto eq = entry.find('=');
        environment.insert(
            QString::fromStdString(entry.substr(0, eq)),
            eq == std::string::npos ? QString() : QString::fromStdString(entry.substr(eq + 1)));
    }
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->setStandardInputFile(QProcess::nullDevice());

    connect(process, &QProcess::finished, this,
            [this, process, told](int code, QProcess::ExitStatus status) {
                HookOutcome outcome;
                outcome.end = status == QProcess::NormalExit ? HookOutcome::End::Exited
                                                             : HookOutcome::End::Killed;
                // For a crash, Qt on POSIX gives the signal that ended it as the exit code.
                outcome.code = code;
                end(process, *told, outcome);
            });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, told](QProcess::ProcessError e) {
                // Every other error comes with a finished() of its own.
                if (e != QProcess::FailedToStart) return;
                HookOutcome outcome;
                outcome.end = HookOutcome::End::NotStarted;
                outcome.reason = process->errorString().toStdString();
                // Queued: Qt may report a program it cannot find from inside start().
                QMetaObject::invokeMethod(
                    this, [this, process, told, outcome] { end(process, *told, outcome); },
                    Qt::QueuedConnection);
            });
    process->start();
}

void ProcessHookLauncher::end(QProcess* process, Finished& finished, const HookOutcome& outcome) {
    process->disconnect(this);
    process->deleteLater();
    if (!finished) return;
    auto f = std::move(finished);
    finished = nullptr;
    f(outcome);
}

}  // namespace kt6
