#include "core/serial_inhibit_line.h"

#include <filesystem>
#include <system_error>

#include "link/serial_network.h"

namespace kt6 {

SerialInhibitLine::SerialInhibitLine(std::unique_ptr<LineControl> control, InhibitLineChoice choice)
    : control_(std::move(control)), choice_(std::move(choice)) {}

std::string SerialInhibitLine::name() const {
    return choice_.device + " " + std::string(modemLineName(choice_.line));
}

std::string SerialInhibitLine::drive(bool asserted) {
    // A tcp:// mapping would otherwise read as a missing file.
    if (isNetworkPort(choice_.device)) return name() + ": " + lineErrorReason(kNetworkLine);
    if (!control_->isOpen()) {
        if (const int error = control_->open(choice_.device); error != 0) {
            return name() + ": " + lineErrorReason(error);
        }
    }
    if (const int error = control_->set(choice_.line, asserted != choice_.activeLow); error != 0) {
        // A dead descriptor stays dead: let go, so the next drive opens the device anew.
        if (lineDeviceGone(error)) control_->close();
        return name() + ": " + lineErrorReason(error);
    }
    return {};
}

bool sameLine(const InhibitLineChoice& a, const InhibitLineChoice& b) {
    if (a.line != b.line) return false;
    if (a.device == b.device) return true;
    std::error_code error;
    // /dev/serial/by-id/... and /dev/ttyUSB3 are one device.
    return std::filesystem::equivalent(a.device, b.device, error) && !error;
}

}  // namespace kt6
