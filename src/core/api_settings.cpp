#include "core/api_settings.h"

#include "memory/profile_file.h"

namespace kt6::api {

ApiSettings loadApiSettings(const ProfileFile& settings) {
    ApiSettings s;
    s.enabled = settings.readInt("Api", "Enabled", 1) != 0;
    s.bind = settings.readString("Api", "Bind", s.bind);
    if (s.bind.empty()) s.bind = "127.0.0.1";
    const int port = settings.readInt("Api", "Port", kDefaultPort);
    if (port >= 1 && port <= 65535) s.port = static_cast<std::uint16_t>(port);
    s.token = settings.readString("Api", "Token", "");
    return s;
}

bool isLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

std::string listenProblem(const ApiSettings& settings) {
    // Anyone on the network could press keys and overwrite the controller's memory.
    if (!isLoopback(settings.bind) && settings.token.empty())
        return "listening on " + settings.bind + " needs a token (Token= in [Api])";
    return {};
}

}  // namespace kt6::api
