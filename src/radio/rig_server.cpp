#include "radio/rig_server.h"

namespace kt6 {

std::string_view rigStatusText(RigStatus status) {
    switch (status) {
        case RigStatus::NotConfigured:
            return "Not configured";
        case RigStatus::Disabled:
            return "Disabled";
        case RigStatus::PortBusy:
            return "Port busy or missing";
        case RigStatus::NotResponding:
            return "Not responding";
        case RigStatus::Online:
            return "Online";
    }
    return "Unknown";
}

}  // namespace kt6
