#pragma once
// The Windows serial backend's logic over a narrow interface to the Win32 communications calls,
// so that it builds and is tested on every system; serial_win32.cpp makes the real calls.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "link/bytes.h"
#include "link/serial_backend.h"

namespace kt6::win32 {

// Win32's own numbers, here so the logic needs no <windows.h>.
inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidHandle = 6;
inline constexpr std::uint32_t kErrorBadCommand = 22;
inline constexpr std::uint32_t kErrorGenFailure = 31;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorOperationAborted = 995;
inline constexpr std::uint32_t kErrorDeviceNotConnected = 1167;
inline constexpr std::uint32_t kErrorDeviceRemoved = 1617;
// PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR.
inline constexpr std::uint32_t kPurgeAll = 15;
inline constexpr std::uint32_t kQueueSize = 2048;

// \\.\COMn: the device namespace, through which COM10 and above open too.
std::string comDevicePath(int n);

// Errors after which an open port is of no more use: what a pulled USB adapter's driver
// returns from then on (bad command, access denied, general failure, or the outstanding
// calls aborted), and the plain "device gone" codes.
bool isDeviceGone(std::uint32_t error);

// The device control block's fields as the logic sets them, values as in DCB; the Win32 side
// writes them over the driver's own block, so every field not here keeps the driver's value.
struct CommState {
    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;  // NOPARITY 0, ODDPARITY 1, EVENPARITY 2, MARKPARITY 3, SPACEPARITY 4
    std::uint8_t stopBits = 0;  // ONESTOPBIT 0, TWOSTOPBITS 2
    bool binary = false;
    bool parityCheck = false;
    bool outxCtsFlow = false;
    bool outxDsrFlow = false;
    std::uint8_t dtrControl = 0;  // DTR_CONTROL_ENABLE 1
    bool dsrSensitivity = false;
    bool txContinueOnXoff = false;
    bool outX = false;
    bool inX = false;
    bool errorChar = false;
    bool abortOnError = false;
    std::uint16_t xonLim = 0;
    std::uint16_t xoffLim = 0;
    char errorCharValue = 0;
};

// The controller's line over the driver's block, by the letters the console passes.
CommState applyLineSettings(CommState driver, const LineSettings& settings);

// One handle's Win32 calls. Errors are GetLastError() codes, 0 for success.
class CommApi {
  public:
    virtual ~CommApi() = default;
    // CreateFileA for reading and writing, not shared, open-existing; overlapped, so that a
    // wait for input can run beside reads and writes.
    virtual std::uint32_t open(const std::string& path) = 0;
    // CloseHandle, the pending wait for input given up first.
    virtual std::uint32_t close() = 0;
    // SetupComm (result ignored, as drivers may only take it as a hint).
    virtual void setupComm(std::uint32_t input, std::uint32_t output) = 0;
    // GetCommProperties' current transmit queue size; 0 when the call fails.
    virtual std::uint32_t currentTxQueue() = 0;
    // GetCommState; false when it fails (the logic then writes over zeroes).
    virtual bool getState(CommState& state) = 0;
    // SetCommState over the block GetCommState read.
    virtual std::uint32_t setState(const CommState& state) = 0;
    // SetCommTimeouts: read interval 0xFFFFFFFF, every other field 0 (result ignored).
    virtual void setReadAtOnce() = 0;
    // PurgeComm (result ignored).
    virtual void purge(std::uint32_t flags) = 0;
    // ClearCommError: the bytes waiting in each direction.
    virtual std::uint32_t clearError(std::uint32_t& input, std::uint32_t& output) = 0;
    // ReadFile of up to n bytes, returning at once with what has arrived.
    virtual std::uint32_t read(std::uint8_t* buffer, std::size_t n, std::size_t& got) = 0;
    // WriteFile of n bytes in one call.
    virtual std::uint32_t write(const std::uint8_t* data, std::size_t n, std::size_t& put) = 0;
    // Makes sure an overlapped WaitCommEvent(EV_RXCHAR) is outstanding; its event is signalled
    // when a byte arrives (and stays so until the next call).
    virtual std::uint32_t armInputWait() = 0;
    // Waits on that event up to the given time; true when it was signalled.
    virtual bool waitInputEvent(std::chrono::milliseconds timeout) = 0;
    // Sets the event by hand: bytes were already waiting when the wait was armed.
    virtual void signalInputEvent() = 0;
    // The event object (a HANDLE), for an event notifier of the window's loop.
    virtual void* inputEvent() const = 0;
    // ReadFile that waits up to the given time for the first byte (read interval and total
    // multiplier 0xFFFFFFFF, total constant the time), then the read-at-once time-outs again.
    virtual std::uint32_t readWaiting(std::uint8_t* buffer, std::size_t n,
                                      std::chrono::milliseconds timeout, std::size_t& got) = 0;
};

// The Windows serial backend over the given calls.
std::unique_ptr<SerialBackend> makeSerialBackend(std::unique_ptr<CommApi> api);

}  // namespace kt6::win32
