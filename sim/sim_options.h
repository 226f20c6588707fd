#pragma once
// The command line of kt6-sim.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/controller_model.h"
#include "sim/firmware.h"

namespace kt6::sim {

struct SimOptions {
    std::string link;        // symlink to create to the pty's slave; empty for none
    std::string memoryFile;  // empty: memory lives only as long as the process
    std::string traceFile;
    ModelOptions model;
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    std::optional<SimOptions> options;
    std::string error;  // why parsing failed, when options is empty
};

// Options as given after the program name; "--name value" and "--name=value" both work.
ParsedOptions parseSimOptions(const std::vector<std::string>& args);
// The --help text.
std::string simUsage();

}  // namespace kt6::sim
