#include "link/frame.h"

namespace kt6 {

std::uint8_t frameChecksum(std::span<const std::uint8_t> content) {
    std::uint8_t c = kChecksumSeed;
    for (std::uint8_t b : content) c = checksumStep(c, b);
    return c;
}

void appendEscaped(Bytes& out, std::uint8_t b) {
    if (needsEscape(b)) {
        out.push_back(kFrameEscape);
        out.push_back(static_cast<std::uint8_t>(b & 0x7F));
    } else {
        out.push_back(b);
    }
}

std::optional<Bytes> encodeFrame(std::span<const std::uint8_t> content) {
    if (content.size() > kMaxFrameContent) return std::nullopt;
    Bytes out;
    out.reserve(content.size() * 2 + 4);
    out.push_back(kFrameStart);
    for (std::uint8_t b : content) appendEscaped(out, b);
    appendEscaped(out, frameChecksum(content));
    out.push_back(kFrameEnd);
    return out;
}

FrameReceiver::Event FrameReceiver::feed(std::uint8_t b) {
    switch (b) {
        case kFrameStart:
            payload_.clear();
            escapePending_ = false;
            overlong_ = false;
            inFrame_ = true;
            return Event::None;
        case kFrameEscape:
            escapePending_ = true;
            return Event::None;
        case kFrameEnd: {
            if (!inFrame_) return Event::None;
            inFrame_ = false;
            // Content plus its own checksum always runs to 1; a lone byte can do so by chance.
            const bool good = !overlong_ && payload_.size() >= 2 && frameChecksum(payload_) == 1;
            return good ? Event::GoodFrame : Event::BadFrame;
        }
        default:
            if (!inFrame_) return Event::None;
            if (escapePending_) b |= 0x80;
            escapePending_ = false;
            // Noise with no end byte must not grow without bound; what no sender can write
            // is a bad frame.
            if (payload_.size() > kMaxFrameContent) {
                overlong_ = true;
                return Event::None;
            }
            payload_.push_back(b);
            return Event::None;
    }
}

}  // namespace kt6
