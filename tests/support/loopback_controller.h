#pragma once
// A controller behind a raw network serial server, on a loopback port: a thread of its own
// answers every frame that arrives on a connection as the scripted controller does. Counts are
// read under its lock, so a test looks at them while the console runs.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/fake_serial.h"
#include "support/loopback_listener.h"
#include "support/scripted_controller.h"

namespace kt6::testing {

class LoopbackController {
  public:
    explicit LoopbackController(const StatusRecord& record) {
        controller_.record = record;
        listen_ = listenOnLoopback(4, port_);
        if (listen_ < 0 || ::pipe2(stop_, O_CLOEXEC) != 0)
            throw std::runtime_error("loopback controller");
        thread_ = std::thread([this] { run(); });
    }
    ~LoopbackController() {
        [[maybe_unused]] const auto woken = ::write(stop_[1], "x", 1);
        thread_.join();
        for (int fd : clients_) ::close(fd);
        for (int fd : {listen_, stop_[0], stop_[1]}) ::close(fd);
    }
    LoopbackController(const LoopbackController&) = delete;
    LoopbackController& operator=(const LoopbackController&) = delete;

    std::string url() const { return "tcp://127.0.0.1:" + std::to_string(port_); }
    // Status requests answered so far.
    std::size_t statusRequests() const {
        std::lock_guard lock(mutex_);
        return controller_.commands(1).size();
    }

  private:
    void run() {
        for (;;) {
            std::vector<pollfd> watched{{stop_[0], POLLIN, 0}, {listen_, POLLIN, 0}};
            for (int fd : clients_) watched.push_back({fd, POLLIN, 0});
            if (::poll(watched.data(), watched.size(), -1) < 0) return;
            if ((watched[0].revents & POLLIN) != 0) return;
            if ((watched[1].revents & POLLIN) != 0) {
                const int client = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) clients_.push_back(client);
            }
            for (std::size_t i = 2; i < watched.size(); ++i) {
                if (watched[i].revents != 0) serve(watched[i].fd);
            }
        }
    }
    // Answers what came on one connection; a closed one is dropped.
    void serve(int fd) {
        std::uint8_t buffer[512];
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got <= 0) {
            std::erase(clients_, fd);
            ::close(fd);
            return;
        }
        std::lock_guard lock(mutex_);
        wire_.onWrite(Bytes(buffer, buffer + got));
        const Bytes replies(wire_.input.begin(), wire_.input.end());
        wire_.input.clear();
        ::send(fd, replies.data(), replies.size(), MSG_NOSIGNAL);
    }

    mutable std::mutex mutex_;
    FakeSerialState wire_;
    ScriptedController controller_{wire_};
    int listen_ = -1;
    int stop_[2] = {-1, -1};
    int port_ = 0;
    std::vector<int> clients_;
    std::thread thread_;
};

}  // namespace kt6::testing
