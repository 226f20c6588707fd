#include "link/comm32.h"

namespace kt6 {

std::string defaultComDevice(int n) { return "/dev/ttyS" + std::to_string(n - 1); }

Comm32::PortResolver comPortResolver(std::function<std::optional<std::string>(int)> comMap) {
    return [comMap = std::move(comMap)](std::string_view name) -> std::string {
        return std::string(name);
    };
}

std::string portErrorText(std::int32_t error, std::string_view) {
    return "error " + std::to_string(error);
}

}  // namespace kt6
