#pragma once
// The memory blocks of one simulated controller unit: blocks 0, 1, 3..35 and 37..69 with the
// layouts of its firmware, filled with plausible factory contents, read by field name.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/bytes.h"
#include "memory/layouts.h"
#include "sim/firmware.h"

namespace kt6::sim {

inline constexpr std::string_view kModelText = "SkarNel KT-6";
inline constexpr std::string_view kWelcomeText = "Welcome to SkarNel KT-6";
inline constexpr std::string_view kV24Message = "+24V OUTPUT ACTIVE";

class ControllerMemory {
  public:
    ControllerMemory(Firmware firmware, int drivers);

    // The block's bytes; nothing for a number the controller does not have (2, 36, >= 70).
    std::optional<Bytes> read(int block) const;
    // Stores the block when it exists and the size matches its layout exactly.
    bool write(int block, std::span<const std::uint8_t> bytes);
    // The factory contents for every block, as a new controller leaves the bench with.
    void resetAll();
    // Band data back to factory: every user offset block cleared.
    void clearUserOffsets();

    // Integer field of a block by key; nothing when the layout lacks it.
    std::optional<std::int32_t> integer(int block, std::string_view key) const;
    std::optional<std::string> text(int block, std::string_view key) const;
    bool setInteger(int block, std::string_view key, std::int64_t value);
    bool setText(int block, std::string_view key, std::string_view value);

    Firmware firmware() const { return firmware_; }
    std::string_view layoutOf(int block) const;

  private:
    Bytes* slot(int block);
    const Bytes* slot(int block) const;
    void fillFactory();
    void fillUser();
    void seal(int block);

    Firmware firmware_;
    int drivers_;
    std::array<Bytes, kBlockCount> blocks_;
};

}  // namespace kt6::sim
