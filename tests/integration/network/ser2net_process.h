#pragma once
// ser2net for a test: serves one serial device on a free loopback port, through a raw TCP or
// an RFC 2217 accepter, from a configuration file in the test's folder; stopped when this
// object goes.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/loopback_listener.h"

namespace kt6::testing {

enum class Accepter { Raw, Rfc2217 };

class Ser2netProcess {
  public:
    // Starts ser2net and waits up to `within` until it listens; throws when it does not.
    // A port of 0 takes a free one.
    Ser2netProcess(const std::string& device, Accepter accepter, const std::filesystem::path& dir,
                   std::chrono::milliseconds within, int port = 0);
    ~Ser2netProcess();
    Ser2netProcess(const Ser2netProcess&) = delete;
    Ser2netProcess& operator=(const Ser2netProcess&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // The COM map entry that reaches the device through this server.
    std::string url() const;
    // Sends the signal and waits up to `within` for the exit; true when it ended.
    bool stop(int signal, std::chrono::milliseconds within);

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    Accepter accepter_;
};

// True while something listens on 127.0.0.1:port.
bool listeningOnLoopback(int port);

}  // namespace kt6::testing
