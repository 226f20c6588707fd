// Port names and device errors on Windows: COMn is the device \\.\COMn (the device namespace
// reaches COM10 and above, which the plain name does not), errors are GetLastError() codes.
#include <windows.h>

#include "link/comm32.h"
#include "link/port_platform.h"
#include "link/serial_win32_logic.h"

namespace kt6 {

std::string defaultComDevice(int n) {
    return win32::comDevicePath(n);
}

DeviceFault deviceFault(std::int32_t error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_DEV_NOT_EXIST:
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
            return DeviceFault::Missing;
        // Windows opens a COM port for one program only; a second gets access denied.
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return DeviceFault::Busy;
        default:
            return DeviceFault::Other;
    }
}

bool deviceGoneError(std::int32_t error) {
    return win32::isDeviceGone(static_cast<std::uint32_t>(error));
}

std::string systemErrorMessage(std::int32_t error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length > 0 && text ? std::string(text, length) : std::string();
    if (text) ::LocalFree(text);
    // The system's texts end in ".\r\n"; ours go on a line of their own.
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                                message.back() == ' ' || message.back() == '.')) {
        message.pop_back();
    }
    return message.empty() ? "error " + std::to_string(error) : message;
}

}  // namespace kt6
