// Port names as the console passes them ("bio3") turned into device paths, and port errors
// turned into text an operator can act on.
#include <cctype>
#include <cerrno>
#include <charconv>
#include <system_error>

#include "link/comm32.h"

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

// The port number of a "bio" name: plain decimal digits giving a number above 0.
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

}  // namespace

std::string defaultComDevice(int n) {
    return "/dev/ttyS" + std::to_string(n - 1);
}

Comm32::PortResolver comPortResolver(std::function<std::optional<std::string>(int)> comMap) {
    return [comMap = std::move(comMap)](std::string_view name) -> std::string {
        if (!startsWithBio(name)) return std::string(name);
        const auto n = portNumber(name.substr(3));
        // Kept as given, the name opens nothing and the error text names what was asked for.
        if (!n) return std::string(name);
        if (comMap) {
            if (auto mapped = comMap(*n); mapped && !mapped->empty()) return *mapped;
        }
        return defaultComDevice(*n);
    };
}

std::string portErrorText(std::int32_t error, std::string_view device) {
    const std::string port = device.empty() ? std::string("the serial port") : std::string(device);
    switch (error) {
        case 0:
            return port + ": OK";
        case Comm32::kShortWrite:
            return port + ": short write, the port took fewer bytes than it was given";
        case EACCES:
        case EPERM:
            return port +
                   ": permission denied. Your user is not in the 'dialout' group: run "
                   "'sudo usermod -aG dialout $USER', then log out and log in again.";
        case EBUSY:
        case EWOULDBLOCK:
            return port +
                   ": busy, another program holds the port. Close it and select the port "
                   "again.";
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return port +
                   ": no such device. Check that the adapter is plugged in and the port "
                   "number is right.";
        default:
            break;
    }
    if (error < 0) return port + ": error " + std::to_string(error);
    return port + ": " + std::generic_category().message(error);
}

}  // namespace kt6
