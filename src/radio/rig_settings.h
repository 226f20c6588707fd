#pragma once
// How each of the two rigs is reached: through Hamlib (model, port, serial speed, poll interval)
// or a logger's UDP datagrams (port, address, radio number), and how far it must move before the
// antenna follows. Kept in the settings file in sections "Radio1" and "Radio2".
#include <array>
#include <chrono>
#include <string>

#include "radio/logger_datagrams.h"
#include "radio/rig_server.h"

namespace kt6 {

class ProfileFile;

// Hamlib's "NET rigctl": a radio that rigctld (or another program) already serves.
inline constexpr int kNetRigctlModel = 2;
// A change reaches the controller half an interval later on average, so 100 ms keeps that near
// 50 ms; the libhamlib call each interval makes costs about 0.3 ms of CPU, some 0.3 % of a core.
inline constexpr std::chrono::milliseconds kDefaultRigPoll{100};
inline constexpr std::chrono::milliseconds kMinRigPoll{50};
inline constexpr std::chrono::milliseconds kMaxRigPoll{10000};
inline constexpr int kMaxSerialSpeed = 4000000;
inline constexpr int kDefaultStepKHz = kDefaultRetuneStepKHz;
inline constexpr int kMaxStepKHz = 1000;
// Loggers' datagrams are heard on the loopback address unless the operator opens it wider.
inline constexpr const char* kDefaultUdpBind = "127.0.0.1";

// Where a rig's frequency comes from.
enum class RigSource { Hamlib, N1mm, Wsjtx };
// "Hamlib", "N1MM / DXLog UDP", "WSJT-X UDP": as the settings dialog lists them.
const char* rigSourceCaption(RigSource source);
// The logger's own default port: 12060 for N1MM, 2237 for WSJT-X (0 for Hamlib).
int defaultUdpPort(RigSource source);

struct RigPortSettings {
    // 0 is no rig (not configured).
    int model = kNetRigctlModel;
    // A serial device, or host:port for network models.
    std::string port;
    // 0 keeps the model's own speed.
    int speed = 0;
    std::chrono::milliseconds poll = kDefaultRigPoll;
    RigSource source = RigSource::Hamlib;
    // The datagrams' port and the address they are heard on; only for a logger source.
    int udpPort = kN1mmDefaultPort;
    std::string bind = kDefaultUdpBind;
    // Which of the logger's radios (N1MM's RadioNr) this rig follows.
    int radioNumber = 1;
    // Send a new frequency only when it is this far from the last one sent, or on another band.
    int stepKHz = kDefaultStepKHz;

    // True when both reach the rig the same way, differing at most in what is done with its
    // frequency (the step).
    bool sameConnection(const RigPortSettings& other) const;
    bool operator==(const RigPortSettings&) const = default;
};

struct RigSettings {
    // Index 0 is rig 1.
    std::array<RigPortSettings, kRigCount> rigs{};

    RigPortSettings& rig(int rigNumber) { return rigs.at(static_cast<std::size_t>(rigNumber - 1)); }
    const RigPortSettings& rig(int rigNumber) const {
        return rigs.at(static_cast<std::size_t>(rigNumber - 1));
    }
    bool operator==(const RigSettings&) const = default;
};

// Rig 1 at localhost:4532, rig 2 at localhost:4534, both NET rigctl, read every 100 ms; each
// follows its own number of a logger's radios when switched to one.
RigSettings defaultRigSettings();
// "Radio1" or "Radio2".
std::string rigSection(int rigNumber);
// Reads both rigs; a missing key keeps its default, an out-of-range value is brought into range.
RigSettings loadRigSettings(const ProfileFile& file);
// What is wrong with a rig's port for its model ("localhost" lacks its port, a serial device
// that is not there ...); empty when it can be tried.
std::string rigPortProblem(const RigPortSettings& settings);
// What is wrong with a typed serial speed; empty for a number of bit/s in range or for
// "Default" (the model's own).
std::string rigSpeedProblem(const std::string& text);

// What is wrong with a logger source's port or address; empty when it can be tried.
std::string rigUdpProblem(const RigPortSettings& settings);

// Writes both rigs' keys (the caller flushes the file).
void saveRigSettings(ProfileFile& file, const RigSettings& settings);

}  // namespace kt6
