#include "sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>
#include <thread>

namespace kt6::testing {

using Clock = std::chrono::steady_clock;

SimProcess::SimProcess(const std::vector<std::string>& args, std::chrono::milliseconds within) {
    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> argv{KT6_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> raw;
    for (auto& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::dup2(out[1], STDOUT_FILENO);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    ::close(out[1]);
    stdout_ = out[0];
    if (pid_ < 0) throw std::runtime_error("fork");

    const auto deadline = Clock::now() + within;
    std::string line;
    while (line.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{stdout_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t got = ::read(stdout_, buffer, sizeof buffer);
        if (got <= 0) break;
        line.append(buffer, static_cast<std::size_t>(got));
    }
    if (line.find('\n') == std::string::npos) {
        stop(SIGKILL, std::chrono::seconds(5));
        throw std::runtime_error("kt6-sim did not report its terminal");
    }
    slavePath_ = line.substr(0, line.find('\n'));
}

std::optional<int> SimProcess::stop(int signal, std::chrono::milliseconds within) {
    if (pid_ <= 0) return std::nullopt;
    ::kill(pid_, signal);
    const auto deadline = Clock::now() + within;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            pid_ = -1;
            if (WIFEXITED(status)) return WEXITSTATUS(status);
            return 128 + WTERMSIG(status);
        }
        if (Clock::now() >= deadline) return std::nullopt;
        // Polling for a child's exit: there is no descriptor to wait on for it.
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

SimProcess::~SimProcess() {
    if (pid_ > 0 && !stop(SIGTERM, std::chrono::seconds(5))) stop(SIGKILL, std::chrono::seconds(5));
    if (stdout_ >= 0) ::close(stdout_);
}

}  // namespace kt6::testing
