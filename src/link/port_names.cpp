// Port names as the console passes them ("bio3") turned into device paths, and port errors
// turned into text an operator can act on.
#include <cctype>
#include <cerrno>
#include <charconv>
#include <system_error>

#include "link/comm32.h"
#include "link/port_platform.h"
#include "link/serial_network.h"

namespace kt6 {
namespace {

bool startsWithBio(std::string_view name) {
    constexpr std::string_view kPrefix = "bio";
    if (name.size() < kPrefix.size()) return false;
    for (std::size_t i = 0; i < kPrefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != kPrefix[i]) return false;
    }
    return true;
}

// Errors of a port on the network, named by host:port as the operator wrote it.
std::optional<std::string> networkErrorText(std::int32_t error, std::string_view device) {
    if (!isNetworkPort(device)) return std::nullopt;
    const auto address = parseNetworkAddress(device);
    const std::string port = address ? address->label() : std::string(device);
    switch (error) {
        case 0:
            return port + ": OK";
        case kBadNetworkAddress:
            return port +
                   ": not a network port address; write tcp://HOST:PORT or rfc2217://HOST:PORT.";
        case kHostNotFound:
            return port +
                   ": host not found. Check the host name in the [Ports] map and the network.";
        case ECONNREFUSED:
            return port +
                   ": connection refused. Check that ser2net runs on that host and listens on "
                   "this port.";
        case ETIMEDOUT:
            return port +
                   ": no answer within 3 s. Check the host name, the network and any firewall "
                   "between.";
        case EHOSTUNREACH:
        case ENETUNREACH:
            return port + ": host unreachable. Check the network connection.";
        case ECONNRESET:
        case EPIPE:
        case ECONNABORTED:
            return port + ": connection dropped by the other end.";
        case kNoPortControl:
            return port +
                   ": the server does not offer serial port control (RFC 2217). Set its accepter "
                   "to telnet(rfc2217),tcp,PORT, or map the port as tcp://.";
        case kLineSettingsRefused:
            return port +
                   ": the server did not take 19200 bit/s, 8 data bits. Check its serial device.";
        default:
            break;
    }
    if (error < 0) return port + ": error " + std::to_string(error);
    return port + ": " + std::generic_category().message(error);
}

}  // namespace

std::optional<int> portNumber(std::string_view digits) {
    if (digits.empty() || std::isdigit(static_cast<unsigned char>(digits.front())) == 0) {
        return std::nullopt;
    }
    int n = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, n);
    if (error != std::errc{} || stop != end || n <= 0) return std::nullopt;
    return n;
}

Comm32::PortResolver comPortResolver(std::function<std::optional<std::string>(int)> comMap,
                                     std::function<std::string(int)> device) {
    if (!device) device = defaultComDevice;
    return [comMap = std::move(comMap), device = std::move(device)](std::string_view name) {
        if (!startsWithBio(name)) return std::string(name);
        const auto n = portNumber(name.substr(3));
        // Kept as given, the name opens nothing and the error text names what was asked for.
        if (!n) return std::string(name);
        if (comMap) {
            if (auto mapped = comMap(*n); mapped && !mapped->empty()) return *mapped;
        }
        return device(*n);
    };
}

std::string portErrorText(std::int32_t error, std::string_view device) {
    if (auto text = networkErrorText(error, device)) return *text;
    const std::string port = device.empty() ? std::string("the serial port") : std::string(device);
    switch (error) {
        case 0:
            return port + ": OK";
        case Comm32::kShortWrite:
            return port + ": short write, the port took fewer bytes than it was given";
        default:
            break;
    }
    switch (deviceFault(error)) {
        case DeviceFault::Denied:
            return port +
                   ": permission denied. Your user is not in the 'dialout' group: run "
                   "'sudo usermod -aG dialout $USER', then log out and log in again.";
        case DeviceFault::Busy:
            return port +
                   ": busy, another program holds the port. Close it and select the port "
                   "again.";
        case DeviceFault::Missing:
            return port +
                   ": no such device. Check that the adapter is plugged in and the port "
                   "number is right.";
        case DeviceFault::NotSerial:
        case DeviceFault::Other:
            break;
    }
    if (error < 0) return port + ": error " + std::to_string(error);
    return port + ": " + systemErrorMessage(error);
}

}  // namespace kt6
