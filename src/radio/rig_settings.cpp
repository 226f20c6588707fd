#include "radio/rig_settings.h"

#include <algorithm>

#include "memory/profile_file.h"

namespace kt6 {

RigSettings defaultRigSettings() {
    RigSettings s;
    s.rig(1).port = "localhost:4532";
    s.rig(2).port = "localhost:4534";
    return s;
}

std::string rigSection(int rigNumber) {
    return "Radio" + std::to_string(rigNumber);
}

RigSettings loadRigSettings(const ProfileFile& file) {
    RigSettings s = defaultRigSettings();
    for (int n = 1; n <= kRigCount; ++n) {
        RigPortSettings& r = s.rig(n);
        const std::string section = rigSection(n);
        // A hand-edited file may hold anything; a negative model would reach rig_init.
        r.model = std::max(0, file.readInt(section, "Model", r.model));
        // Quoted values keep their inner blanks; no device or host has them.
        r.port = trimProfileValue(file.readString(section, "Port", r.port));
        r.speed = std::clamp(file.readInt(section, "Speed", r.speed), 0, kMaxSerialSpeed);
        const int pollMs = file.readInt(section, "PollMs", static_cast<int>(r.poll.count()));
        r.poll = std::chrono::milliseconds(std::clamp<int>(
            pollMs, static_cast<int>(kMinRigPoll.count()), static_cast<int>(kMaxRigPoll.count())));
    }
    return s;
}

void saveRigSettings(ProfileFile& file, const RigSettings& settings) {
    for (int n = 1; n <= kRigCount; ++n) {
        const RigPortSettings& r = settings.rig(n);
        const std::string section = rigSection(n);
        file.writeString(section, "Model", std::to_string(r.model));
        file.writeString(section, "Port", r.port);
        file.writeString(section, "Speed", std::to_string(r.speed));
        file.writeString(section, "PollMs", std::to_string(r.poll.count()));
    }
}

}  // namespace kt6
