#include "integration/radio/rig_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <thread>

extern char** environ;

namespace kt6::testing {

std::optional<ChildProcess> ChildProcess::spawn(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return std::nullopt;
    return ChildProcess(pid);
}

void ChildProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

int ChildProcess::wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, 0);
    pid_ = -1;
    if (done <= 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

namespace {

// True once something accepts connections on 127.0.0.1:port.
bool accepts(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

}  // namespace

std::optional<ChildProcess> startRigctld(int port, RigPtt ptt) {
    std::vector<std::string> argv{"rigctld",           "-m", "1", "-T", "127.0.0.1", "-t",
                                  std::to_string(port)};
    if (ptt == RigPtt::Rig) argv.insert(argv.end(), {"-P", "RIG"});
    auto child = ChildProcess::spawn(argv);
    if (!child) return child;
    // A rig client that connects before rigctld listens sees an unreachable rig; tests that
    // start one mean a rig that is there.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!accepts(port) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return child;
}

int runRigctl(int port, const std::vector<std::string>& words) {
    std::vector<std::string> argv{"rigctl", "-m", "2", "-r", "127.0.0.1:" + std::to_string(port)};
    argv.insert(argv.end(), words.begin(), words.end());
    auto child = ChildProcess::spawn(argv);
    return child ? child->wait() : -1;
}

RecordingSimBackend::RecordingSimBackend() = default;

int RecordingSimBackend::write(const std::uint8_t* data, std::size_t n, std::size_t& written) {
    const auto now = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < n; ++i) {
        if (rx_.feed(data[i]) != FrameReceiver::Event::GoodFrame) continue;
        const Bytes& content = rx_.payload();
        // Sequence, code, data, checksum.
        if (content.size() >= 3 && content[1] == 3) {
            std::lock_guard lock(mutex_);
            arrivals_.push_back({now, Bytes(content.begin() + 2, content.end() - 1)});
        }
    }
    return sim_.write(data, n, written);
}

std::vector<FrequencyArrival> RecordingSimBackend::arrivals() const {
    std::lock_guard lock(mutex_);
    return arrivals_;
}

}  // namespace kt6::testing
