#pragma once
// The datagrams loggers broadcast about their radios, read from their bytes alone: N1MM
// Logger+'s RadioInfo XML (also sent by DXLog and others) and WSJT-X's binary messages. Pure
// functions with no I/O and no Qt, so they are fuzzed; every length and number is checked
// before it is used, and nothing is read past the datagram's end.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kt6 {

inline constexpr int kN1mmDefaultPort = 12060;
inline constexpr int kWsjtxDefaultPort = 2237;
inline constexpr std::uint32_t kWsjtxMagic = 0xADBCCBDA;

struct LoggerReport {
    enum class Kind {
        // The radio's frequency and transmit state.
        Radio,
        // The sender is there but says nothing of the radio (WSJT-X's heartbeat).
        Alive,
        // The sender is closing (WSJT-X's Close).
        Leaving,
        // A well-formed datagram of another kind (a contact, a decode, a spot): not ours.
        Other,
    };
    Kind kind = Kind::Other;
    // N1MM's RadioNr (1 and 2 in SO2R); 0 for WSJT-X, which has none.
    int radioNumber = 0;
    // Who sent it: N1MM's <app> ("N1MM", "DXLog"), WSJT-X's Id ("WSJT-X"); possibly empty.
    std::string sender;
    // The receive frequency in Hz; 0 when the logger knows none (no radio connected).
    std::uint64_t hz = 0;
    bool transmitting = false;
};

// An N1MM RadioInfo datagram (Freq in tens of Hz); Other for another well-formed N1MM datagram
// (contactinfo, AppInfo ...); nothing for bytes that are neither.
std::optional<LoggerReport> decodeN1mmDatagram(std::span<const std::uint8_t> bytes);

// A WSJT-X message of schema 2 or 3: Status gives the dial frequency and Transmitting, Heartbeat
// is Alive, Close is Leaving, any other type Other; nothing for bytes that are not one.
std::optional<LoggerReport> decodeWsjtxDatagram(std::span<const std::uint8_t> bytes);

}  // namespace kt6
