#pragma once
// One kt6-sim process for a test: started with its arguments, ready once it has printed its
// terminal's path, stopped (SIGTERM, then SIGKILL if it lingers) when this object goes.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kt6::testing {

class SimProcess {
  public:
    // Starts kt6-sim and waits up to `within` for its first line; throws when it never comes.
    SimProcess(const std::vector<std::string>& args, std::chrono::milliseconds within);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The slave path kt6-sim printed.
    const std::string& slavePath() const { return slavePath_; }
    pid_t pid() const { return pid_; }
    // Sends the signal and waits up to `within` for the exit; the exit code, or nothing.
    std::optional<int> stop(int signal, std::chrono::milliseconds within);

  private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string slavePath_;
};

}  // namespace kt6::testing
