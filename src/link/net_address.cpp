// What the network transports share on every system: reading a tcp:// or rfc2217:// address,
// and telling a dropped connection from a quiet one. The sockets themselves are in
// net_socket_posix.cpp and net_socket_win32.cpp.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>

#include "link/serial_network.h"

namespace kt6 {
namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::optional<std::string_view> schemeOf(std::string_view path) {
    const auto colon = path.find("://");
    if (colon == std::string_view::npos) return std::nullopt;
    return path.substr(0, colon);
}

}  // namespace

std::string NetworkAddress::label() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool isNetworkPort(std::string_view path) {
    const auto scheme = schemeOf(path);
    if (!scheme) return false;
    const std::string s = lower(*scheme);
    return s == "tcp" || s == "rfc2217";
}

std::optional<NetworkAddress> parseNetworkAddress(std::string_view path) {
    if (!isNetworkPort(path)) return std::nullopt;
    NetworkAddress address;
    address.scheme = lower(*schemeOf(path));
    std::string_view rest = path.substr(address.scheme.size() + 3);
    // A trailing slash is what a pasted address often carries; nothing else may follow.
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);
    std::string_view portText;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") {
            return std::nullopt;
        }
        address.host = std::string(rest.substr(1, close - 1));
        portText = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        address.host = std::string(rest.substr(0, colon));
        portText = rest.substr(colon + 1);
        if (address.host.find_first_of(":/") != std::string::npos) return std::nullopt;
    }
    if (address.host.empty() || portText.empty()) return std::nullopt;
    unsigned port = 0;
    const char* end = portText.data() + portText.size();
    const auto [stop, error] = std::from_chars(portText.data(), end, port);
    if (error != std::errc{} || stop != end || port == 0 || port > 65535) return std::nullopt;
    address.port = static_cast<std::uint16_t>(port);
    return address;
}

bool connectionGone(int error) {
    return error != 0 && error != EAGAIN && error != EWOULDBLOCK && error != EINTR;
}

}  // namespace kt6
