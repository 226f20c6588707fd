#pragma once
// The controller's memory kept in a file between runs: every unit's blocks as INI sections
// with one key per field, in the setup file's section names (units after the first are
// prefixed "Unit<n>."), the checksum byte included so a block comes back byte for byte.
#include <filesystem>
#include <string>

#include "sim/controller.h"

namespace kt6::sim {

// Fills the controller's memory from the file; a block whose section is missing keeps its
// contents. False with a reason, and nothing changed, when a value is not a number.
bool loadMemoryFile(Controller& controller, const std::filesystem::path& path,
                    std::string* error = nullptr);
// Writes every block of every unit, replacing the file in one step (a crash mid-write leaves
// the old file); false with a reason when that fails.
bool saveMemoryFile(const Controller& controller, const std::filesystem::path& path,
                    std::string* error = nullptr);

// The section a block of a unit is kept under.
std::string memorySection(int unit, const std::string& blockSection);

}  // namespace kt6::sim
