#pragma once
// The controller's command codes and the key codes command 8 carries: one table for the
// console, its tools, the simulator and the tests.
#include <cstdint>

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
}  // namespace keys

}  // namespace kt6
