#pragma once
// The rig models libhamlib offers, for the settings dialog's model list.
#include <string>
#include <vector>

namespace kt6 {

struct RigModelInfo {
    int model = 0;
    std::string manufacturer;
    std::string name;
    // True for models reached over the network (host:port) rather than a serial device.
    bool network = false;
};

// Quiets libhamlib and registers all of its backends; safe to call from any thread, any
// number of times (the work is done once per process, as the library's registry is global).
void prepareHamlib();
// Every model of every backend, sorted by manufacturer and name.
std::vector<RigModelInfo> hamlibRigModels();
// "Manufacturer Name (#model)".
std::string rigModelLabel(const RigModelInfo& info);

}  // namespace kt6
