#pragma once
// A whole decimal number and nothing else, as the settings file and the input boxes hold them.
#include <charconv>
#include <optional>
#include <string_view>

namespace kt6 {

inline std::optional<int> wholeNumber(std::string_view text) {
    int value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

}  // namespace kt6
