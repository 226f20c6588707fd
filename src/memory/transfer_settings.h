#pragma once
// The settings file's [Transfer] section: how block transfers treat a slow or lossy line.
#include "memory/profile_file.h"

namespace kt6 {

struct TransferSettings {
    // AdaptiveWrite: a restore's block write is tried again once a reply is overdue by this
    // controller's own measure; 0 keeps every try's whole 6 s.
    bool adaptiveWrite = true;
};

// The section's values, each its default when missing or not a number.
TransferSettings readTransferSettings(const ProfileFile& settings);

}  // namespace kt6
