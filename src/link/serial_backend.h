#pragma once
// The operating system's side of a serial device. comm32 holds the port logic; one
// implementation of this interface per platform (POSIX termios, the Win32 communications
// calls), plus in-memory ones for tests and the built-in simulated controller.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kt6 {

// Line settings as the console passes them: parity and flow as letters.
struct LineSettings {
    std::uint32_t speed = 19200;
    char parity = 'n';
    std::uint8_t dataBits = 8;
    std::uint8_t stopBits = 1;
    char flow = 'N';
};

class SerialBackend {
  public:
    virtual ~SerialBackend() = default;

    // Opens the device exclusively for reading and writing; 0 or the system's error code.
    virtual int open(const std::string& path) = 0;
    // Closes the device; 0 or the system's error code. The device counts as closed after it.
    virtual int close() = 0;
    virtual bool isOpen() const = 0;
    // The driver's transmit queue size in bytes; 0 when the driver does not tell.
    virtual std::uint32_t transmitQueueSize() = 0;
    // Applies the line settings, then discards pending input and output; 0 or error code.
    virtual int configure(const LineSettings& settings) = 0;
    // Bytes waiting in each direction; false when the line status cannot be read.
    virtual bool queueCounts(std::uint32_t& input, std::uint32_t& output) = 0;
    // Reads up to n bytes without waiting; the count transferred, or -1 on failure.
    virtual long read(std::uint8_t* buffer, std::size_t n) = 0;
    // Writes n bytes in one call; 0 with the count written, or the system's error code.
    virtual int write(const std::uint8_t* data, std::size_t n, std::size_t& written) = 0;
    // Waits up to the given time for input; true when input is waiting. Never returns early
    // on a device that cannot deliver input (hung up, lost): it sleeps out the time instead.
    virtual bool waitReadable(std::chrono::milliseconds timeout) = 0;
    // True once the device has gone away (hang-up, EIO or ENXIO, a network connection closed
    // or reset): nothing more will arrive and the port must be closed and opened again.
    virtual bool lost() const { return false; }
    // What an event loop may watch for input on this device as a socket notifier does (a
    // file descriptor, or a Winsock socket); -1 when there is none.
    virtual std::intptr_t readinessHandle() const { return -1; }
    // A Win32 event object signalled when input arrives, for an event notifier; nullptr when
    // there is none. With neither, the loop looks for input on a timer.
    virtual void* readinessEvent() const { return nullptr; }
};

// A port opened and configured on a backend of its own (away from the loop), or why not.
struct OpenedPort {
    // Open and configured; empty when error is not 0.
    std::unique_ptr<SerialBackend> backend;
    // The open's error, else the configure's; 0 when both succeeded.
    std::int32_t error = 0;
};

// The backend of the platform this program was built for.
std::unique_ptr<SerialBackend> makePlatformSerialBackend();

}  // namespace kt6
