#pragma once
// The interface's settings, section "Api" of the console's settings file: whether it is
// served, where it listens and the token a non-loopback listener demands. kt6ctl reads the
// same section to find the console.
#include <cstdint>
#include <string>

#include "core/api_protocol.h"

namespace kt6 {
class ProfileFile;
}

namespace kt6::api {

struct ApiSettings {
    bool enabled = true;
    std::string bind = "127.0.0.1";
    std::uint16_t port = kDefaultPort;
    std::string token;
};

// The "Api" section; a missing key takes its default, a port outside 1..65535 the default port.
ApiSettings loadApiSettings(const ProfileFile& settings);

// True for 127.0.0.0/8, ::1 and "localhost": the only addresses served without a token.
bool isLoopback(const std::string& address);

// Why the interface may not listen as set up; empty when it may.
std::string listenProblem(const ApiSettings& settings);

}  // namespace kt6::api
