#pragma once
// Loopback ports for tests: a free port number, and a listening socket that never says a word, for
// network failure cases: in Silent mode it takes connections (the kernel completes them from its
// backlog); in Unanswering mode its accept queue is full, so further connects get no answer at all,
// as from a host that is down or drops packets. And a line server that answers as a test's script
// says, for clients of the console's local interface.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback_port.h"

namespace kt6::testing {

// A socket bound to 127.0.0.1 at a port the system chose, the port in port; -1 when none
// could be had.
inline int bindLoopback(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

// A socket listening on 127.0.0.1 at a free port with this backlog, the port in port; -1 when
// none could be had.
inline int listenOnLoopback(int backlog, int& port) {
    const int fd = bindLoopback(port);
    if (fd < 0) return -1;
    if (::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class LoopbackListener {
  public:
    enum class Mode { Silent, Unanswering };

    // Port 0 takes any free one; port() is -1 when the socket could not listen.
    explicit LoopbackListener(Mode mode = Mode::Silent, int port = 0) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<std::uint16_t>(port));
        socklen_t len = sizeof addr;
        const int backlog = mode == Mode::Silent ? 4 : 0;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(fd_, backlog) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            return;
        }
        port_ = ntohs(addr.sin_port);
        // Backlog 0 still queues one connection; a few more make sure the queue is full.
        for (int i = 0; mode == Mode::Unanswering && i < 3; ++i) {
            const int client = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            ::connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
            clients_.push_back(client);
        }
    }
    ~LoopbackListener() { close(); }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int port() const { return port_; }
    int fd() const { return fd_; }
    // Takes a connection the kernel completed, waiting up to within for one; -1 when none
    // came. It stays open until the listener closes.
    int accept(std::chrono::milliseconds within) {
        pollfd p{fd_, POLLIN, 0};
        if (fd_ < 0 || ::poll(&p, 1, static_cast<int>(within.count())) <= 0) return -1;
        const int client = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) clients_.push_back(client);
        return client;
    }
    // True once the far end closed the accepted connection, within the time; what it sent
    // before is read and dropped.
    static bool closedByPeer(int fd, std::chrono::milliseconds within) {
        const auto end = std::chrono::steady_clock::now() + within;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() <= 0) return false;
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
            char sink[256];
            const ssize_t got = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) return true;
        }
    }
    // Stops listening: connections to the port are refused from now on, and those it never
    // accepted are reset.
    void close() {
        for (int c : clients_) ::close(c);
        clients_.clear();
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
    int port_ = -1;
    std::vector<int> clients_;
};

// A JSON-lines server such as the console's local interface, played by a test: it takes one
// connection at a time on a loopback port, keeps every line it receives, and answers each with
// the lines the script gives, closing the connection after them when the script says so. Its
// thread ends with it.
class LoopbackLineServer {
  public:
    struct Answer {
        std::vector<std::string> lines;  // sent as they are: each needs its own '\n'
        bool close = false;
    };
    // Called on the server's thread with each line received, its line end removed.
    using Script = std::function<Answer(const std::string& line)>;

    explicit LoopbackLineServer(Script script)
        : listener_(LoopbackListener::Mode::Silent), script_(std::move(script)) {
        if (::pipe(stop_) != 0) return;
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackLineServer() {
        if (thread_.joinable()) {
            const char byte = 0;
            (void)!::write(stop_[1], &byte, 1);
            thread_.join();
        }
        for (int fd : stop_) {
            if (fd >= 0) ::close(fd);
        }
    }
    LoopbackLineServer(const LoopbackLineServer&) = delete;
    LoopbackLineServer& operator=(const LoopbackLineServer&) = delete;

    int port() const { return listener_.port(); }
    // Every line received so far, in order, over every connection.
    std::vector<std::string> received() const {
        std::lock_guard lock(mutex_);
        return received_;
    }
    int connections() const {
        std::lock_guard lock(mutex_);
        return connections_;
    }

  private:
    // True when the stop pipe spoke, or fd is ready.
    bool waitFor(int fd, bool& stopped) const {
        pollfd p[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) return false;
        stopped = p[1].revents != 0;
        return !stopped && p[0].revents != 0;
    }

    void run() {
        bool stopped = false;
        while (!stopped) {
            if (!waitFor(listener_.fd(), stopped)) continue;
            const int client = ::accept4(listener_.fd(), nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) continue;
            {
                std::lock_guard lock(mutex_);
                ++connections_;
            }
            serve(client, stopped);
            ::close(client);
        }
    }

    void serve(int client, bool& stopped) {
        std::string buffer;
        while (waitFor(client, stopped)) {
            char chunk[4096];
            const ssize_t got = ::recv(client, chunk, sizeof chunk, 0);
            if (got <= 0) return;
            buffer.append(chunk, static_cast<std::size_t>(got));
            for (auto end = buffer.find('\n'); end != std::string::npos; end = buffer.find('\n')) {
                const std::string line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                {
                    std::lock_guard lock(mutex_);
                    received_.push_back(line);
                }
                const Answer answer = script_(line);
                for (const std::string& out : answer.lines) {
                    if (::send(client, out.data(), out.size(), MSG_NOSIGNAL) < 0) return;
                }
                if (answer.close) return;
            }
        }
    }

    LoopbackListener listener_;
    Script script_;
    int stop_[2] = {-1, -1};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> received_;
    int connections_ = 0;
};

}  // namespace kt6::testing
