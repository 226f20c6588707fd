#pragma once
// One modem control line (RTS or DTR) of a serial device, driven on its own: the station's
// transmit-inhibit output, on a port nothing else of which the console uses. One file per
// operating system behind LineControl, as for SerialBackend.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kt6 {

enum class ModemLine { Rts, Dtr };

// Errors of a line that have no system error code of their own.
inline constexpr int kNoModemLines = -40;  // the device has no RTS and DTR to drive
inline constexpr int kNetworkLine = -41;   // a network port: no line on this computer

class LineControl {
  public:
    virtual ~LineControl() = default;
    // Opens the device to drive its lines and takes nothing else of it (no line settings, no
    // exclusive hold); 0 or the system's error code.
    virtual int open(const std::string& path) = 0;
    // Turns the line on (its bit set in the modem status, positive at an RS-232 connector) or
    // off, and no other line; 0 or the system's error code, kNoModemLines when it has none.
    virtual int set(ModemLine line, bool on) = 0;
    virtual bool isOpen() const = 0;
    // Lets go of the device; its lines are then as the system leaves them on a close.
    virtual void close() = 0;
};

// The platform's own, for device paths.
std::unique_ptr<LineControl> makePlatformLineControl();

// "RTS" or "DTR".
std::string_view modemLineName(ModemLine line);
// The line a settings value names ("RTS", "dtr"); nothing for any other text.
std::optional<ModemLine> parseModemLine(std::string_view text);

// The device a line's port names: "COMn" (any case, n from 1) is what comMap gives for n, or the
// port's default device when it gives none; anything else is a device path as written.
std::string lineDevicePath(std::string_view port,
                           const std::function<std::optional<std::string>(int)>& comMap);

// Why a line could not be opened or driven, in a few words with what to do.
std::string lineErrorReason(int error);

// True for errors after which the open device is of no more use (unplugged, hung up).
bool lineDeviceGone(int error);

}  // namespace kt6
