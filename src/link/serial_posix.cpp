#include "link/serial_backend.h"

namespace kt6 {
std::unique_ptr<SerialBackend> makePlatformSerialBackend() { return nullptr; }
}  // namespace kt6
