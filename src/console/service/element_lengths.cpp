#include "console/service/element_lengths.h"

#include <cstdio>

namespace kt6 {

namespace {
constexpr std::size_t kDataBytes = 8;
constexpr std::uint32_t kSwapLowKHz = 14000;
constexpr std::uint32_t kSwapHighKHz = 50500;

std::uint16_t word(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
}  // namespace

std::optional<ElementLengths> decodeElementLengths(const Bytes& replyData) {
    if (replyData.size() < kDataBytes) return std::nullopt;
    return ElementLengths{word(replyData, 0), word(replyData, 2), word(replyData, 4),
                          word(replyData, 6)};
}

std::string lengthText(int mm) {
    char text[24];
    std::snprintf(text, sizeof text, "%4.4d mm", mm);
    return text;
}

std::array<std::string_view, 4> editorLabels(std::int32_t headingMode, std::uint32_t kHz) {
    if (headingMode == 1 && kHz >= kSwapLowKHz && kHz <= kSwapHighKHz) {
        return {"Director 2", "Reflector", "Driver", "Director 1"};
    }
    return {"Director 2", "Director 1", "Driver", "Reflector"};
}

}  // namespace kt6
