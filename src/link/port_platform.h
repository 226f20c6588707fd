#pragma once
// What port names and device errors mean on the system this program was built for. One file
// per operating system (port_platform_posix.cpp, port_platform_win32.cpp): the numbers of a
// device error differ between them, what the console does about one does not.
#include <cstdint>
#include <string>

namespace kt6 {

// What a device error from opening or using a serial device means to the operator.
enum class DeviceFault {
    Other,      // anything else: the system's own text says it
    Missing,    // no such device (not plugged in yet, wrong number): worth waiting for
    Busy,       // another program holds the port
    Denied,     // this user may not open it
    NotSerial,  // the path names something that is not a serial device
};

// The fault a system error code of a serial device stands for.
DeviceFault deviceFault(std::int32_t error);

// True for errors on an open device after which it is of no more use (unplugged, hung up).
bool deviceGoneError(std::int32_t error);

// The system's own text for one of its error codes.
std::string systemErrorMessage(std::int32_t error);

}  // namespace kt6
