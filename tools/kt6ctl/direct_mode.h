#pragma once
// kt6ctl without a console: it opens the controller's port itself and runs the console's own
// controller and request handling on a loop of its own, so every command runs as it would in a
// console.
#include <filesystem>
#include <string>

#include "command_line.h"
#include "output.h"

namespace kt6::ctl {

// Where the controller is: --device, else the COM port the console's settings file chose, each
// COM number mapped to a device by the console's rules.
struct ControllerPort {
    std::string device;         // what is opened: a device path, tcp://... or rfc2217://...
    std::string label;          // how messages name it: "COM3 (/dev/ttyUSB0)", or the device
    std::string note;           // something wrong with the settings that the run works around
    int number = 0;             // n of COMn; 0 for a device given by its path
    bool adaptiveWrite = true;  // the settings' [Transfer] AdaptiveWrite, for a restore
};
ControllerPort controllerPort(const CtlOptions& options, const std::filesystem::path& exeDir);

// Runs the command on the controller. 0 done, 1 refused or failed, 3 when the port does not
// open or the controller does not answer.
int runDirect(const CtlOptions& options, const ControllerPort& port, Printer& printer);

}  // namespace kt6::ctl
