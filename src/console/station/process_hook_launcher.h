#pragma once
// The station hook's processes, through QProcess: started from the window's thread without
// waiting, their end handed back from the event loop. QProcess rather than posix_spawn in the
// core: it already reaps children inside the loop the window runs (no SIGCHLD handler of our
// own to share with Qt's), and it does the same on Windows.
#include <QObject>

#include "core/moving_outputs.h"

class QProcess;

namespace kt6 {

class ProcessHookLauncher final : public QObject, public HookLauncher {
    Q_OBJECT
  public:
    explicit ProcessHookLauncher(QObject* parent = nullptr);
    // A hook still running is ended with the launcher, and its end is told to no one.
    ~ProcessHookLauncher() override;

    // The hook's output goes to the console's own stdout and stderr, for the technician; its
    // input is empty, so a hook that reads it does not wait for ever.
    void start(const std::vector<std::string>& args, const std::vector<std::string>& env,
               Finished finished) override;

  private:
    // Tells finished once, from the loop, never from inside start().
    void end(QProcess* process, Finished& finished, const HookOutcome& outcome);
};

}  // namespace kt6
