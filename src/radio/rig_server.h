#pragma once
// The rig-control server as the console relies on it: two rigs, a status per rig in which 4
// means online, a receive frequency in Hz, whether the rig transmits, a change notification
// carrying the rig number, and a settings dialog. Whatever reads the radios (Hamlib, a logger's
// datagrams) sits behind it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kt6 {

inline constexpr int kRigCount = 2;
// The controller's own step: every kHz the radio moves is sent.
inline constexpr int kDefaultRetuneStepKHz = 1;

// The numbering is the contract's: only Online (4) lets a frequency through.
enum class RigStatus : int {
    NotConfigured = 0,
    Disabled = 1,
    PortBusy = 2,
    NotResponding = 3,
    Online = 4,
};

// A short text for a status, as the settings dialog shows it.
std::string_view rigStatusText(RigStatus status);

// Told on the thread that owns the server (the window's), never on a worker thread.
class RigServerListener {
  public:
    virtual ~RigServerListener() = default;
    // Frequency, mode or VFO of the rig changed, including its first reading once online.
    virtual void rigParamsChange(int rigNumber) = 0;
    // The rig's status changed (online, not responding, port busy ...).
    virtual void rigStatusChange(int rigNumber) = 0;
    // The rig went from receive to transmit or back; only rigs that can report it tell.
    virtual void rigTransmitChange(int /*rigNumber*/) {}
};

class RigServer {
  public:
    virtual ~RigServer() = default;
    // Starts the server; false, with a reason in error, when it cannot be started at all.
    // A rig that does not answer is not a failure here: it shows in its status.
    virtual bool connect(std::string* error = nullptr) = 0;
    // Where change reports go from now on; nullptr stops them.
    virtual void setListener(RigServerListener* listener) = 0;
    // The rig's last known status; NotConfigured for numbers other than 1 and 2.
    virtual RigStatus status(int rigNumber) const = 0;
    // The rig's latest receive frequency in Hz, without waiting for the radio; nothing when
    // there is no reading.
    virtual std::optional<double> rxFrequency(int rigNumber) const = 0;
    // True while the rig is online and says it transmits; false on receive, and always for a
    // rig that cannot report its transmit state.
    virtual bool transmitting(int /*rigNumber*/) const { return false; }
    // Shows the server's own settings dialog and returns at once.
    virtual void showDialog() = 0;
    // Why the rig is not online, naming where it was looked for ("localhost:4532: connection
    // refused"); empty when online or not known.
    virtual std::string reason(int /*rigNumber*/) const { return {}; }
    // True while the server is still making its first connection to the rig: its status
    // then is no verdict on whether the rig can be reached.
    virtual bool connecting(int /*rigNumber*/) const { return false; }
    // The least move in kHz worth retuning the antenna for (a new band always is).
    virtual int retuneStepKHz(int /*rigNumber*/) const { return kDefaultRetuneStepKHz; }
};

}  // namespace kt6
