#pragma once
// The byte strings every layer of the link passes around.
#include <cstdint>
#include <vector>

namespace kt6 {
using Bytes = std::vector<std::uint8_t>;
}
