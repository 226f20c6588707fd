#include "integration/network/ser2net_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "support/wait_for.h"

extern char** environ;

namespace kt6::testing {

namespace fs = std::filesystem;

// Read from the kernel's socket table rather than by connecting: a probe connection would
// make ser2net open the device.
bool listeningOnLoopback(int port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char wanted[32];
    std::snprintf(wanted, sizeof wanted, "0100007F:%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (local == wanted && state == "0A") return true;
    }
    return false;
}

Ser2netProcess::Ser2netProcess(const std::string& device, Accepter accepter, const fs::path& dir,
                               std::chrono::milliseconds within, int port)
    : port_(port != 0 ? port : freeLoopbackPort()), accepter_(accepter) {
    const fs::path config = dir / "ser2net.yaml";
    {
        std::ofstream out(config);
        const std::string kind = accepter == Accepter::Raw ? "tcp" : "telnet(rfc2217),tcp";
        out << "connection: &kt6\n"
            << "  accepter: " << kind << ",127.0.0.1," << port_ << "\n"
            << "  connector: serialdev," << device << ",19200n81,local\n"
            << "  options:\n"
            << "    kickolduser: true\n"
            << "    mdns: false\n"
            << "    chardelay: false\n";
    }
    const std::string log = (dir / "ser2net.log").string();
    std::vector<std::string> argv{
        "ser2net", "-n", "-u", "-P", (dir / "ser2net.pid").string(), "-c", config.string()};
    std::vector<char*> args;
    for (std::string& a : argv) args.push_back(a.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int rc = ::posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error("ser2net could not be started (scripts/install-deps installs it)");
    }
    if (!waitFor([this] { return listeningOnLoopback(port_); }, within)) {
        stop(SIGKILL, std::chrono::seconds(5));
        throw std::runtime_error("ser2net did not listen on port " + std::to_string(port_));
    }
}

std::string Ser2netProcess::url() const {
    return std::string(accepter_ == Accepter::Raw ? "tcp" : "rfc2217") +
           "://127.0.0.1:" + std::to_string(port_);
}

bool Ser2netProcess::stop(int signal, std::chrono::milliseconds within) {
    if (pid_ <= 0) return true;
    ::kill(pid_, signal);
    int status = 0;
    const bool ended = waitFor([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, within);
    if (ended) pid_ = -1;
    return ended;
}

Ser2netProcess::~Ser2netProcess() {
    if (pid_ > 0 && !stop(SIGTERM, std::chrono::seconds(5))) stop(SIGKILL, std::chrono::seconds(5));
}

}  // namespace kt6::testing
