#pragma once
// Frame codec of the controller protocol: start byte, escaped content, running checksum,
// end byte. No I/O: bytes in, frames out; content in, bytes out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "link/bytes.h"

namespace kt6 {

inline constexpr std::uint8_t kFrameStart = 0xF5;
inline constexpr std::uint8_t kFrameEscape = 0xF6;
inline constexpr std::uint8_t kFrameEnd = 0xFA;
inline constexpr std::uint8_t kChecksumSeed = 0x55;
// The frame writer counts content bytes in eight bits.
inline constexpr std::size_t kMaxFrameContent = 255;

// One step of the running checksum: (c XOR b) + 1, modulo 256.
constexpr std::uint8_t checksumStep(std::uint8_t c, std::uint8_t b) {
    return static_cast<std::uint8_t>((c ^ b) + 1);
}

// The checksum the sender appends after this content.
std::uint8_t frameChecksum(std::span<const std::uint8_t> content);

// True for the three byte values that must travel escaped.
constexpr bool needsEscape(std::uint8_t b) {
    return b == kFrameStart || b == kFrameEscape || b == kFrameEnd;
}

// Appends b to out, escaped when it is a start, escape or end byte.
void appendEscaped(Bytes& out, std::uint8_t b);

// The whole frame for this content; nothing when the content exceeds kMaxFrameContent bytes.
std::optional<Bytes> encodeFrame(std::span<const std::uint8_t> content);

// Assembles frames from received bytes, one byte at a time; state is kept across calls so a
// frame may arrive in pieces.
class FrameReceiver {
  public:
    enum class Event { None, GoodFrame, BadFrame };

    // Takes one received byte; reports when an end byte closed a frame and whether it was good.
    Event feed(std::uint8_t b);

    // The unescaped bytes since the last start byte: after an end byte, the content of that
    // frame, checksum byte last. At most kMaxFrameContent + 1 bytes: a longer frame keeps its
    // first bytes and is reported bad.
    Bytes& payload() { return payload_; }
    const Bytes& payload() const { return payload_; }
    bool inFrame() const { return inFrame_; }
    bool escapePending() const { return escapePending_; }

  private:
    Bytes payload_;
    bool inFrame_ = false;
    bool escapePending_ = false;
    bool overlong_ = false;
};

}  // namespace kt6
