#pragma once
// The controller's command codes, the key codes command 8 carries, and each command as it goes
// out (its flag, tries and time-out): one table for the console, its tools, the simulator and
// the tests.
#include <chrono>
#include <cstdint>
#include <utility>

#include "link/exchange_engine.h"

namespace kt6 {

enum class CommandCode : std::uint8_t {
    Status = 1,
    Retract = 2,
    SetFrequency = 3,
    WriteBlock = 4,
    ReadBlock = 5,
    WriteFactory = 6,
    WriteUser = 7,
    Key = 8,
    ElementLengths = 9,
    Progress = 10,
};

constexpr std::uint8_t code(CommandCode c) {
    return static_cast<std::uint8_t>(c);
}

// Front-panel keys, by the caption on the key.
namespace keys {
inline constexpr std::uint8_t k6m = 0;
inline constexpr std::uint8_t k10m = 1;
inline constexpr std::uint8_t k12m = 2;
inline constexpr std::uint8_t k15m = 3;
inline constexpr std::uint8_t k17m = 4;
inline constexpr std::uint8_t k20m = 5;
inline constexpr std::uint8_t k30m = 6;
inline constexpr std::uint8_t k40m = 7;
inline constexpr std::uint8_t kMenu = 8;
inline constexpr std::uint8_t kDirection = 9;
inline constexpr std::uint8_t kUp = 10;
inline constexpr std::uint8_t kDown = 11;
inline constexpr std::uint8_t kPower = 12;
inline constexpr std::uint8_t kReturn = 13;
inline constexpr std::uint8_t kBandLamp = 77;
// The two keys that answer the controller's questions.
inline constexpr std::uint8_t kNo = k20m;
inline constexpr std::uint8_t kYes = k30m;
// The band keys come first, 6m to 40m.
inline constexpr bool isBandKey(std::uint8_t code) {
    return code <= k40m;
}
}  // namespace keys

// Every command but the block transfers' is tried this often, each try waiting this long.
inline constexpr int kCommandTries = 4;
inline constexpr std::chrono::milliseconds kCommandTimeout{100};

// Command 1: the status request. The poll's own request goes out through the link's poll lane.
inline Command statusCommand() {
    return Command{code(CommandCode::Status), {}, false, kCommandTries, kCommandTimeout};
}
// Command 8: a front-panel key.
inline Command keyCommand(std::uint8_t key, bool flag = false) {
    return Command{code(CommandCode::Key), {key}, flag, kCommandTries, kCommandTimeout};
}
// Command 3: retune to a frequency in kHz (16 bits, low byte first).
inline Command frequencyCommand(std::uint32_t khz) {
    return Command{
        code(CommandCode::SetFrequency),
        {static_cast<std::uint8_t>(khz & 0xFF), static_cast<std::uint8_t>((khz >> 8) & 0xFF)},
        true,
        kCommandTries,
        kCommandTimeout};
}
// Command 3 with a payload already built (a radio's frequency).
inline Command frequencyCommand(Bytes payload) {
    return Command{code(CommandCode::SetFrequency), std::move(payload), true, kCommandTries,
                   kCommandTimeout};
}
// Command 2: retract every element.
inline Command retractCommand() {
    return Command{code(CommandCode::Retract), {}, true, kCommandTries, kCommandTimeout};
}
// Command 10: the progress of the motors' run.
inline Command progressCommand() {
    return Command{code(CommandCode::Progress), {}, true, kCommandTries, kCommandTimeout};
}
// Command 9: the element lengths, read or (with data) set.
inline Command elementLengthsCommand(Bytes data, bool flag) {
    return Command{code(CommandCode::ElementLengths), std::move(data), flag, kCommandTries,
                   kCommandTimeout};
}

}  // namespace kt6
