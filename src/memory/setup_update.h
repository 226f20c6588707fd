#pragma once
// The setup panel's update, composed in memory: the Factory and User blocks as the controller
// holds them, with the panel's fields laid over them. A field the panel does not write for
// the firmware goes back byte for byte as it was read.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/bytes.h"
#include "memory/layouts.h"

namespace kt6 {

// One field the update writes: where it lives, from which firmware on, and either the panel
// box it comes from or the fixed value it always takes.
struct SetupField {
    std::string_view key;  // INI key of the field (no "?")
    int block = kFactoryBlock;
    FieldKind kind = FieldKind::Integer;
    std::uint16_t from = 0;             // written from this firmware on
    std::uint16_t before = 0xFFFF;      // and before this one
    std::optional<std::int32_t> fixed;  // set: written whatever the panel shows
};

// Every field the update writes, in the order it writes them.
const std::vector<SetupField>& setupFields();
// The fields the update writes under this firmware.
std::vector<SetupField> setupFieldsFor(std::uint16_t firmwareVersion);

// What the operator typed, by field key: numbers already checked, texts in the code page.
struct SetupEdits {
    std::map<std::string, std::int32_t, std::less<>> numbers;
    std::map<std::string, std::string, std::less<>> texts;
};

struct SetupBlocks {
    Bytes factory;  // sent with command 6
    Bytes user;     // sent with command 7
};

// The two blocks to send: the held blocks (as read, at least their layout's size) with every
// field the firmware's update writes set from edits or its fixed value, and the checksum byte
// 0 as the console has always sent it. Nothing when a held block is shorter than its layout or
// an edit the firmware needs is missing (the caller's mistake, never sent half-built).
std::optional<SetupBlocks> composeSetupBlocks(std::uint16_t firmwareVersion,
                                              const Bytes& heldFactory, const Bytes& heldUser,
                                              const SetupEdits& edits);

}  // namespace kt6
