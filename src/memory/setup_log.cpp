#include "memory/setup_log.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "memory/block_codec.h"
#include "memory/layouts.h"
#include "memory/profile_file.h"

namespace kt6 {

namespace {

// Where the value of name starts in the log, if the name occurs.
std::optional<std::size_t> valueStart(std::string_view log, std::string_view name) {
    std::string key(name);
    key.push_back('=');
    const auto at = log.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    return at + key.size();
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::int32_t LogInteger(std::string_view log, std::string_view name) {
    const auto start = valueStart(log, name);
    if (!start) return 0;
    std::size_t end = *start;
    while (end < log.size() && log[end] >= '0' && log[end] <= '9') ++end;
    std::int32_t value = 0;
    const auto [ptr, error] = std::from_chars(log.data() + *start, log.data() + end, value);
    if (error != std::errc{} || ptr == log.data() + *start) return 0;
    return value;
}

std::string LogText(std::string_view log, std::string_view name) {
    const auto start = valueStart(log, name);
    if (!start) return {};
    const auto end = log.find('\r', *start);
    return std::string(log.substr(*start, end == std::string_view::npos ? end : end - *start));
}

std::string quoteIniText(std::string_view text) {
    if (text.empty()) return {};
    const bool outerBlank = isBlank(text.front()) || isBlank(text.back());
    const bool quoted = text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
                        text.back() == text.front();
    if (!outerBlank && !quoted) return std::string(text);
    return '"' + std::string(text) + '"';
}

bool spaceLineBreaks(std::string& text) {
    bool replaced = false;
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
            replaced = true;
        }
    }
    return replaced;
}

bool fitsFieldWidth(std::int64_t value, int width) {
    if (width >= 4) {
        return value >= std::numeric_limits<std::int32_t>::min() &&
               value <= std::numeric_limits<std::int32_t>::max();
    }
    if (width <= 0) return value == 0;
    return value >= 0 && value <= (std::int64_t{1} << (8 * width)) - 1;
}

std::string fieldRangeText(int width) {
    if (width >= 4) return "-2147483648 to 2147483647";
    if (width <= 0) return "0";
    return "0 to " + std::to_string((std::int64_t{1} << (8 * width)) - 1);
}

std::string encodeErrorText(const EncodeError& error) {
    if (error.kind == EncodeError::Kind::NotInteger) {
        std::string text = "'" + error.value + "' is not a valid integer value";
        // A setup file holds many sections with the same keys: the operator needs both to
        // find the line.
        if (!error.section.empty()) text += " in [" + error.section + "]";
        if (!error.key.empty()) text += " " + error.key;
        return text;
    }
    if (error.kind == EncodeError::Kind::TextTooLong) {
        return "The text of " + error.key + " in [" + error.section + "] is " +
               std::to_string(error.value.size()) + " characters long; its field holds 0 to " +
               std::to_string(error.width) + " characters.";
    }
    return "The value " + error.value + " of " + error.key + " in [" + error.section +
           "] does not fit its " + std::to_string(error.width) + "-byte field (" +
           fieldRangeText(error.width) + ").";
}

EncodedBlock encodeSection(std::string_view layout, const ProfileFile& source,
                           std::string_view section, bool checkFit) {
    EncodedBlock out;
    std::string rest(layout);
    for (std::string item = NextLayoutItem(rest); !item.empty(); item = NextLayoutItem(rest)) {
        std::string name = LayoutItemName(item);
        const int width = LayoutItemWidth(item);
        if (!name.empty() && name.front() == '?') {
            const std::string text = source.readString(section, name.substr(1), "");
            if (checkFit && text.size() > static_cast<std::size_t>(std::max(width, 0))) {
                out.error = EncodeError{EncodeError::Kind::TextTooLong, std::string(section),
                                        name.substr(1), text, width};
                return out;
            }
            for (int i = 0; i < width; ++i) {
                const auto index = static_cast<std::size_t>(i);
                out.bytes.push_back(index < text.size() ? static_cast<std::uint8_t>(text[index])
                                                        : 0);
            }
            continue;
        }
        const std::string text = source.readString(section, name, "0");
        const auto value = parseInteger(text);
        if (!value || (checkFit && !fitsFieldWidth(*value, width))) {
            out.error =
                EncodeError{value ? EncodeError::Kind::DoesNotFit : EncodeError::Kind::NotInteger,
                            std::string(section), name, text, width};
            return out;
        }
        // Little-endian two's complement, cut to the field's width.
        auto bits = static_cast<std::uint32_t>(*value);
        for (int i = 0; i < width; ++i) {
            out.bytes.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            bits = i < 3 ? bits >> 8 : 0;
        }
    }
    return out;
}

}  // namespace kt6
