#pragma once
// How each of the two rigs is reached: Hamlib model, port, serial speed, poll interval. Kept
// in the settings file in sections "Radio1" and "Radio2".
#include <array>
#include <chrono>
#include <string>

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

struct RigPortSettings {
    // 0 is no rig (not configured).
    int model = kNetRigctlModel;
    // A serial device, or host:port for network models.
    std::string port;
    // 0 keeps the model's own speed.
    int speed = 0;
    std::chrono::milliseconds poll = kDefaultRigPoll;

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

// Rig 1 at localhost:4532, rig 2 at localhost:4534, both NET rigctl, read every 100 ms.
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

// Writes both rigs' keys (the caller flushes the file).
void saveRigSettings(ProfileFile& file, const RigSettings& settings);

}  // namespace kt6
