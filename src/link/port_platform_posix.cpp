// Port names and device errors on POSIX systems: COMn is /dev/ttyS(n-1), errors are errno.
#include <cerrno>
#include <cstring>

#include "link/comm32.h"
#include "link/port_platform.h"

namespace kt6 {

std::string defaultComDevice(int n) {
    return "/dev/ttyS" + std::to_string(n - 1);
}

DeviceFault deviceFault(std::int32_t error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
            return DeviceFault::Missing;
        case EBUSY:
        case EWOULDBLOCK:
            return DeviceFault::Busy;
        case EACCES:
        case EPERM:
            return DeviceFault::Denied;
        case ENOTTY:
            return DeviceFault::NotSerial;
        default:
            return DeviceFault::Other;
    }
}

bool deviceGoneError(std::int32_t error) {
    return error == EIO || error == ENXIO || error == ENODEV;
}

std::string systemErrorMessage(std::int32_t error) {
    return std::strerror(error);
}

}  // namespace kt6
