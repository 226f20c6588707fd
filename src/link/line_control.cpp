// What every platform's line control shares: line names, port names, error texts.
#include "link/line_control.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "link/comm32.h"
#include "link/port_platform.h"

namespace kt6 {

namespace {
bool sameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// n of a "COMn" name: plain decimal digits giving a number above 0.
std::optional<int> comNumber(std::string_view port) {
    if (port.size() < 4 || !sameLetters(port.substr(0, 3), "COM")) return std::nullopt;
    const std::string_view digits = port.substr(3);
    if (std::isdigit(static_cast<unsigned char>(digits.front())) == 0) return std::nullopt;
    int n = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, n);
    if (error != std::errc{} || stop != end || n <= 0) return std::nullopt;
    return n;
}
}  // namespace

std::string_view modemLineName(ModemLine line) {
    return line == ModemLine::Dtr ? "DTR" : "RTS";
}

std::optional<ModemLine> parseModemLine(std::string_view text) {
    if (sameLetters(text, "RTS")) return ModemLine::Rts;
    if (sameLetters(text, "DTR")) return ModemLine::Dtr;
    return std::nullopt;
}

std::string lineDevicePath(std::string_view port,
                           const std::function<std::optional<std::string>(int)>& comMap) {
    const auto n = comNumber(port);
    if (!n) return std::string(port);
    if (comMap) {
        if (auto mapped = comMap(*n); mapped && !mapped->empty()) return *mapped;
    }
    return defaultComDevice(*n);
}

std::string lineErrorReason(int error) {
    switch (error) {
        case 0:
            return "OK";
        case kNoModemLines:
            return "this device has no RTS or DTR line to drive (a pseudo-terminal, or an "
                   "adapter without modem lines)";
        case kNetworkLine:
            return "a network port has no line on this computer; name a serial device here";
        default:
            break;
    }
    switch (deviceFault(error)) {
        case DeviceFault::Missing:
            return "no such device; check that the adapter is plugged in";
        case DeviceFault::Denied:
            return "permission denied; add your user to the 'dialout' group, then log in again";
        case DeviceFault::Busy:
            return "busy, another program holds the port for itself";
        case DeviceFault::NotSerial:
            return "not a serial device";
        case DeviceFault::Other:
            break;
    }
    if (deviceGoneError(error)) return "input/output error; the adapter went away";
    if (error < 0) return "error " + std::to_string(error);
    return systemErrorMessage(error);
}

bool lineDeviceGone(int error) {
    return deviceGoneError(error);
}

}  // namespace kt6
