#pragma once
// comm32: the program's one serial port. Opens a port by name, sets the controller's line
// settings, counts queued bytes, reads one byte at a time without waiting and hands whole
// strings to the driver only when its transmit queue has room. Results are error codes.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/bytes.h"
#include "link/serial_backend.h"

namespace kt6 {

class Comm32 {
  public:
    // Turns a port name as the console passes it ("bio3") into a device path.
    using PortResolver = std::function<std::string(std::string_view name)>;

    static constexpr std::int32_t kShortWrite = -5;
    static constexpr std::uint16_t kDefaultQueueSize = 2048;

    Comm32(std::unique_ptr<SerialBackend> backend, PortResolver resolver);

    // Opens the named port, closing any open one first; 0 or the error code (also PortError).
    std::int32_t OpenPort(std::string_view name);
    // Takes over a port opened and configured elsewhere (a network port, opened away from the
    // loop) for the named port, closing any open one first: the port, DevicePath and PortError
    // are as OpenPort and SetPortParams would have left them, the adopted backend in use until
    // the next OpenPort or ClosePort. 0 or the error code.
    std::int32_t AdoptPort(std::string_view name, OpenedPort port);
    // The device path OpenPort would open for the name.
    std::string ResolvePort(std::string_view name) const;
    // Applies speed, parity letter, data bits, stop bits and flow letter, then purges.
    std::int32_t SetPortParams(std::uint32_t speed, char parity, std::uint8_t dataBits,
                               std::uint8_t stopBits, char flow);
    // Closes the port; 0 or the error code. No port is open afterwards either way.
    std::int32_t ClosePort();
    // Received bytes waiting, those read ahead included; only those read ahead when the line
    // status cannot be read.
    std::uint16_t InputCount();
    // Bytes waiting to be sent, as the last successful line-status query gave them.
    std::uint16_t OutputCount();
    // Takes one received byte without waiting; true when exactly one byte was taken. Reads
    // whatever the driver holds in one call and hands it out byte by byte.
    bool ReadByte(std::uint8_t& b);
    // True when nothing was handed over (no room); false when the write was issued, its
    // outcome in PortError.
    bool WriteString(const Bytes& s);
    // Waits up to the given time for received bytes; true when some are waiting.
    bool WaitForInput(std::chrono::milliseconds timeout);

    std::int32_t PortError() const { return portError_; }
    std::uint16_t TxQueueSize() const { return txQueueSize_; }
    bool IsOpen() const { return io().isOpen(); }
    // What an event loop may watch for this port's input; -1 when closed or when the device
    // has nothing to watch (input is then looked for on a timer).
    std::intptr_t ReadinessHandle() const { return io().isOpen() ? io().readinessHandle() : -1; }
    // The event object signalled when this port's input arrives (Windows serial ports);
    // nullptr when closed or when the device has none.
    void* ReadinessEvent() const { return io().isOpen() ? io().readinessEvent() : nullptr; }
    // True when the open device went away (unplugged, hung up, connection dropped): the port
    // was closed for it at once, and stays closed until the next OpenPort or ClosePort.
    bool DeviceLost() const { return lost_; }
    // Called once per loss, right after the port was closed for it, from inside whichever
    // operation noticed (a read, a write, a wait, a count).
    void setDeviceLostHandler(std::function<void()> handler) { onLost_ = std::move(handler); }
    // The device path the last OpenPort tried.
    const std::string& DevicePath() const { return devicePath_; }

  private:
    // The backend in use: an adopted one while there is one, else the port's own.
    SerialBackend& io() const { return adopted_ ? *adopted_ : *backend_; }
    // After every backend call: a device that went away is closed at once, so nothing waits
    // on it or writes to it again, and whoever retries has a closed port to reopen.
    void checkLost();
    // A port just opened: its queue size and counts start afresh.
    void opened();
    // Takes everything the driver holds into the read-ahead; false when nothing came.
    bool fillBuffer();
    void dropBuffered();

    static constexpr std::size_t kReadChunk = 4096;

    std::unique_ptr<SerialBackend> backend_;
    std::unique_ptr<SerialBackend> adopted_;
    PortResolver resolver_;
    std::int32_t portError_ = 0;
    std::uint16_t txQueueSize_ = 0;
    std::uint32_t lastInput_ = 0;
    std::uint32_t lastOutput_ = 0;
    std::string devicePath_;
    bool lost_ = false;
    std::function<void()> onLost_;
    // Bytes read from the driver and not yet taken: they count as waiting in the port.
    Bytes rx_;
    std::size_t rxNext_ = 0;
};

// A resolver for "bio" + n names: comMap(n) gives the device mapped to COMn, if any; unmapped
// ports are device(n), by default this system's defaultComDevice. Names not starting with
// "bio" are device paths as given.
Comm32::PortResolver comPortResolver(std::function<std::optional<std::string>(int)> comMap,
                                     std::function<std::string(int)> device = nullptr);

// The number a port name ends in ("3" of "bio3" or "COM3"): plain decimal digits giving a
// number above 0; nothing for anything else.
std::optional<int> portNumber(std::string_view digits);

// The default device of COMn when the settings map none: /dev/ttyS(n-1) on POSIX systems,
// \\.\COMn on Windows.
std::string defaultComDevice(int n);

// A PortError as text a station operator can act on.
std::string portErrorText(std::int32_t error, std::string_view device = {});

}  // namespace kt6
